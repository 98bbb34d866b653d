// The libusb 0.1 calls that find, open and describe devices.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bus.h"
#include "env_config.h"
#include "platform/clock.h"

using vsim::SimDevice;
using vsim::SimState;
using vsim::State;

#ifndef _WIN32
// The library's own variable: programs may walk it instead of calling
// usb_get_busses, so it always holds the same list head.
struct usb_bus* usb_busses = nullptr;
#endif

namespace vsim {

void PublishBusList(SimState& state) {
#ifndef _WIN32
  usb_busses = state.pBus.get();
#else
  (void)state;
#endif
}

}  // namespace vsim

extern "C" {

void usb_init(void) {
  vsim::ConfigureOnFirstUse();
}

void usb_set_debug(int /*level*/) {}

int usb_find_busses(void) {
  vsim::ConfigureOnFirstUse();
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.pBus) return 0;
  state.pBus = std::make_unique<usb_bus>();
  std::snprintf(state.pBus->dirname, sizeof state.pBus->dirname, "001");
  state.pBus->location = 1;
  vsim::PublishBusList(state);
  return 1;
}

int usb_find_devices(void) {
  vsim::ConfigureOnFirstUse();
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.pBus) return 0;
  vsim::ApplyTime(state, ClockTicks());
  return vsim::ScanDevices(state);
}

struct usb_bus* usb_get_busses(void) {
  vsim::ConfigureOnFirstUse();
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  return state.pBus.get();
}

usb_dev_handle* usb_open(struct usb_device* dev) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  auto pHandle = std::make_unique<usb_dev_handle>();
  // Like the Linux library, opening never returns null: a handle to a device
  // that is gone fails on its first transfer.
  for (size_t i = 0; i < state.devices.size(); ++i) {
    const SimDevice& device = *state.devices[i];
    if (device.pRecord && &device.pRecord->device == dev) {
      pHandle->nDevice = static_cast<int>(i);
      pHandle->nGeneration = device.nGeneration;
    }
  }
  vsim::Event event = vsim::MakeEvent(vsim::Event::Open, pHandle->nDevice);
  vsim::RecordEvent(state.transcript, std::move(event));
  state.handles.push_back(std::move(pHandle));
  return state.handles.back().get();
}

int usb_close(usb_dev_handle* dev) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (dev == nullptr || dev->bClosed) return vsim::kBadHandle;
  if (SimDevice* pDevice = vsim::LiveDevice(state, dev)) {
    // Closing releases what the handle claimed.
    pDevice->claimed.clear();
    pDevice->bSessionActive = false;
  }
  dev->bClosed = true;
  vsim::Event event = vsim::MakeEvent(vsim::Event::Close, dev->nDevice);
  vsim::RecordEvent(state.transcript, std::move(event));
  return 0;
}

int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  if (const int nError = vsim::HandleError(state, dev); nError != 0) return nError;
  const SimDevice& device = *vsim::LiveDevice(state, dev);
  std::string szText;
  switch (index) {
    case 1:
      szText = "Simulated";
      break;
    case 2:
      szText = "iPhone";
      break;
    case 3:
      if (device.config.bSerialReadFails) return vsim::kStall;
      szText = device.config.serial;
      break;
    default:
      return vsim::kStall;
  }
  if (buf == nullptr || buflen == 0) return vsim::kInvalid;
  // The descriptor travels as UTF-16; the library keeps the low byte of each
  // unit below 0x100 and writes "?" for the rest. Raw strings send each byte
  // as a unit of its own; otherwise only ASCII gets through.
  const size_t nCount = std::min(szText.size(), buflen - 1);
  for (size_t i = 0; i < nCount; ++i) {
    const auto by = static_cast<unsigned char>(szText[i]);
    buf[i] = by < 0x80 || device.config.bRawStrings ? static_cast<char>(by) : '?';
  }
  buf[nCount] = '\0';
  return static_cast<int>(nCount);
}

int usb_get_string(usb_dev_handle* dev, int index, int /*langid*/, char* buf, size_t buflen) {
  return usb_get_string_simple(dev, index, buf, buflen);
}

int usb_get_descriptor(usb_dev_handle* dev, unsigned char type, unsigned char /*index*/, void* buf,
                       int size) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  if (pDevice == nullptr) return vsim::HandleError(state, dev);
  if (type != USB_DT_DEVICE || !pDevice->pRecord || buf == nullptr || size < 0) {
    return vsim::kStall;
  }
  const auto& descriptor = pDevice->pRecord->device.descriptor;
  const int nCount = std::min(size, static_cast<int>(sizeof descriptor));
  std::memcpy(buf, &descriptor, static_cast<size_t>(nCount));
  return nCount;
}

int usb_get_descriptor_by_endpoint(usb_dev_handle* dev, int /*ep*/, unsigned char type,
                                   unsigned char index, void* buf, int size) {
  return usb_get_descriptor(dev, type, index, buf, size);
}

struct usb_device* usb_device(usb_dev_handle* dev) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  return pDevice != nullptr && pDevice->pRecord ? &pDevice->pRecord->device : nullptr;
}

char* usb_strerror(void) {
  static char szText[128];
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  std::snprintf(szText, sizeof szText, "%s",
                state.szLastError.empty() ? "No error" : state.szLastError.c_str());
  return szText;
}

}  // extern "C"
