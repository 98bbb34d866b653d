#include "sim_connection.h"

#include "device/capture_activation.h"
#include "device/usb_discovery.h"
#include "platform/clock.h"

namespace captest {

namespace {

constexpr char kSerial[] = "00008101000A1B2C3D4E5F60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";  // the serial's normalised form

}  // namespace

SimConnection::SimConnection() {
  vsim::Reset();
  UseVirtualClock(1'000'000);
  vsim::DeviceConfig config;
  config.serial = kSerial;
  config.bCaptureModeOn = true;
  config.behaviour = vsim::Behaviour::Scripted;
  nDevice = vsim::AddDevice(config);

  pSession = CreateCaptureSession(kUdid);
  if (!pSession) return;
  pSession->nRunState.store(kRunRunning);
  if (OpenDevice(*pSession, pSession->szUDID) != kOpenDeviceOk) return;
  FindMuxAndQtConfig(*pSession, pSession->pDevice, pSession->MuxConfig, pSession->QtConfig);
  bConnected = IsConfigFound(pSession->QtConfig) && SetQTConfigAndInterface(*pSession) == 0;
  nEventsAtStart = vsim::Transcript().size();
}

SimConnection::~SimConnection() {
  vsim::SetReadHook(nullptr);
  if (pSession && pSession->pDevHandle != nullptr) usb_close(pSession->pDevHandle);
  vsim::Reset();
  UseRealClock();
}

std::vector<vsim::Event> SimConnection::HostEvents() const {
  std::vector<vsim::Event> vecEvents = vsim::Transcript();
  vecEvents.erase(vecEvents.begin(), vecEvents.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                             nEventsAtStart, vecEvents.size())));
  std::erase_if(vecEvents, [](const vsim::Event& event) {
    return event.kind != vsim::Event::BulkWrite && event.kind != vsim::Event::Control &&
           event.kind != vsim::Event::Reset;
  });
  return vecEvents;
}

std::vector<std::vector<uint8_t>> SimConnection::Writes() const {
  std::vector<std::vector<uint8_t>> vecWrites;
  for (const vsim::Event& event : HostEvents()) {
    if (event.kind == vsim::Event::BulkWrite) vecWrites.push_back(event.vecBytes);
  }
  return vecWrites;
}

void InstallReadCounter(CaptureSession& session, ReadCounter& counter) {
  vsim::SetReadHook([&session, &counter] {
    ++counter.nReads;
    if (counter.nReads == counter.nStopAt) session.nRunState.store(kRunStopRequested);
  });
}

}  // namespace captest
