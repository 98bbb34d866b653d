#include "bus.h"

#include <cstring>

namespace vsim {

SimState& State() {
  // Never destroyed: a host thread may still be inside a usb_* call while the
  // process exits.
  static SimState* pState = new SimState;
  return *pState;
}

SimDevice* LiveDevice(SimState& state, const usb_dev_handle* pHandle) {
  if (HandleError(state, pHandle) != 0) return nullptr;
  return state.devices[static_cast<size_t>(pHandle->nDevice)].get();
}

int HandleError(SimState& state, const usb_dev_handle* pHandle) {
  if (pHandle == nullptr || pHandle->bClosed) return kBadHandle;
  if (pHandle->nDevice < 0 || static_cast<size_t>(pHandle->nDevice) >= state.devices.size()) {
    return kNoDevice;
  }
  const SimDevice& device = *state.devices[static_cast<size_t>(pHandle->nDevice)];
  if (!device.bPlugged || device.nGeneration != pHandle->nGeneration) return kNoDevice;
  if (device.config.bNoPermission) return kNoPermission;
  return 0;
}

void ApplyTime(SimState& state, uint64_t qwNow) {
  for (auto& pDevice : state.devices) {
    if (!pDevice->bPlugged && qwNow >= pDevice->qwReplugAt) ReplugDevice(*pDevice);
  }
}

namespace {

void DropConnection(SimDevice& device) {
  ++device.nGeneration;
  device.nActiveConfig = -1;
  device.claimed.clear();
  device.bSessionActive = false;
}

}  // namespace

void UnplugDevice(SimDevice& device, uint64_t qwNow) {
  DropConnection(device);
  device.bPlugged = false;
  device.queue.clear();
  device.qwReplugAt =
      device.config.qwReplugAfterMs > 0 ? qwNow + device.config.qwReplugAfterMs : kNever;
}

void ReplugDevice(SimDevice& device) {
  DropConnection(device);
  device.bPlugged = true;
  device.nFramesSincePlug = 0;
  device.qwReplugAt = kNever;
  device.bCaptureMode = device.config.bCaptureModeOn;
  device.bNeedsEnumeration = true;
}

void Reenumerate(SimDevice& device) {
  DropConnection(device);
  device.bNeedsEnumeration = true;
}

const std::vector<Configuration>& CurrentLayout(const SimDevice& device) {
  return device.bCaptureMode ? device.config.layoutAfterModeOn : device.config.layoutBeforeModeOn;
}

int ScanDevices(SimState& state) {
  int nChanges = 0;
  struct usb_device* pPrevious = nullptr;
  struct usb_device* pFirst = nullptr;
  for (auto& pDevice : state.devices) {
    SimDevice& device = *pDevice;
    if (device.pRecord && (!device.bPlugged || device.bNeedsEnumeration)) {
      device.pRecord.reset();
      ++nChanges;
    }
    if (device.bPlugged && !device.pRecord) {
      device.pRecord = MakeDeviceRecord(device.config, CurrentLayout(device), state.nNextDevnum++,
                                        state.pBus.get());
      device.bNeedsEnumeration = false;
      ++nChanges;
    }
    if (!device.pRecord) continue;
    // The list is relinked in the order the devices were added; records that
    // did not change keep their addresses.
    struct usb_device* pRecord = &device.pRecord->device;
    pRecord->prev = pPrevious;
    pRecord->next = nullptr;
    if (pPrevious != nullptr) pPrevious->next = pRecord;
    if (pFirst == nullptr) pFirst = pRecord;
    pPrevious = pRecord;
  }
  if (state.pBus) state.pBus->devices = pFirst;
  return nChanges;
}

void AddError(SimState& state, int nDevice, const std::string& szText) {
  std::string szLine = "device " + std::to_string(nDevice) + ": " + szText;
  RecordErrorLine(state.transcript, szLine);
  state.errors.push_back(std::move(szLine));
}

}  // namespace vsim
