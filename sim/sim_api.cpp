// The vsim API for tests: devices on the bus, scripted transfers, transcript.
#include <algorithm>

#include "bus.h"
#include "platform/clock.h"
#include "sim.h"

namespace vsim {

namespace {

SimDevice* Find(SimState& state, int nDevice) {
  if (nDevice < 0 || static_cast<size_t>(nDevice) >= state.devices.size()) return nullptr;
  return state.devices[static_cast<size_t>(nDevice)].get();
}

}  // namespace

void Reset() {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  state.devices.clear();
  state.pBus.reset();
  PublishBusList(state);
  state.nNextDevnum = 2;
  state.handles.clear();
  ClearTranscript(state.transcript);
  state.errors.clear();
  state.readHook = nullptr;
  state.transferHook = nullptr;
  state.szLastError.clear();
}

int AddDevice(const DeviceConfig& config) {
  auto pDevice = std::make_unique<SimDevice>();
  pDevice->config = config;
  if (pDevice->config.layoutBeforeModeOn.empty()) {
    pDevice->config.layoutBeforeModeOn = DefaultLayoutBeforeModeOn();
  }
  if (pDevice->config.layoutAfterModeOn.empty()) {
    pDevice->config.layoutAfterModeOn = DefaultLayoutAfterModeOn();
  }
  pDevice->bCaptureMode = config.bCaptureModeOn;
  pDevice->chaos = StartChaos(config.chaos);
  // The stream is split once here, not inside a read that the host is timing.
  std::string szError;
  if (config.behaviour == Behaviour::Protocol && !config.vecH264.empty()) {
    auto pVideo = std::make_shared<VideoSource>();
    if (MakeVideoSource(config.vecH264, *pVideo, szError)) pDevice->pVideo = std::move(pVideo);
  }
  // Released, not only emptied: the split source holds all the device sends.
  std::vector<uint8_t>().swap(pDevice->config.vecH264);

  SimState& state = State();
  std::lock_guard lock(state.mutex);
  state.devices.push_back(std::move(pDevice));
  const int nDevice = static_cast<int>(state.devices.size()) - 1;
  if (!szError.empty()) AddError(state, nDevice, "unusable stream: " + szError);
  return nDevice;
}

void Unplug(int nDevice) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (SimDevice* pDevice = Find(state, nDevice); pDevice != nullptr && pDevice->bPlugged) {
    UnplugDevice(*pDevice, ClockTicks());
  }
}

void Replug(int nDevice) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (SimDevice* pDevice = Find(state, nDevice); pDevice != nullptr && !pDevice->bPlugged) {
    ReplugDevice(*pDevice);
  }
}

void QueueTransfer(int nDevice, std::vector<uint8_t> vecBytes) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (SimDevice* pDevice = Find(state, nDevice)) {
    pDevice->queue.push_back({std::move(vecBytes), false});
  }
}

void QueueUnplug(int nDevice) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (SimDevice* pDevice = Find(state, nDevice)) pDevice->queue.push_back({{}, true});
}

std::vector<Event> Transcript() {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  return state.transcript.events;
}

std::string TranscriptText() {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  std::string szText;
  for (const Event& event : state.transcript.events) {
    const std::string szLine = EventLine(event);
    if (szLine.empty()) continue;
    szText += szLine;
    szText += '\n';
  }
  return szText;
}

std::vector<std::string> ProtocolErrors() {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  return state.errors;
}

int FramesSent(int nDevice) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  const SimDevice* pDevice = Find(state, nDevice);
  return pDevice != nullptr ? pDevice->nFramesSent : 0;
}

void RequestStop(int nDevice) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (SimDevice* pDevice = Find(state, nDevice)) pDevice->session.bStopRequested = true;
}

void SetReadHook(std::function<void()> hook) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  state.readHook = std::move(hook);
}

void SetTransferHook(TransferHook hook) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  state.transferHook = std::move(hook);
}

}  // namespace vsim
