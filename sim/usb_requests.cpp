// The libusb 0.1 calls that change a device's state: control requests,
// configuration, interfaces, reset.
#include <algorithm>

#include "bus.h"

using vsim::Event;
using vsim::SimDevice;
using vsim::SimState;
using vsim::State;

namespace vsim {

namespace {

constexpr uint8_t kClassVendor = 0xFF;
constexpr uint8_t kSubClassCapture = 0x2A;

const Configuration* ActiveConfiguration(const SimDevice& device) {
  const std::vector<Configuration>& layout = CurrentLayout(device);
  for (const Configuration& configuration : layout) {
    if (configuration.bConfigurationValue == device.nActiveConfig) return &configuration;
  }
  // Until the host chooses, the device runs in its first configuration.
  return device.nActiveConfig == -1 && !layout.empty() ? &layout.front() : nullptr;
}

void Record(SimState& state, Event::Kind kind, const usb_dev_handle* pHandle, int nNumber) {
  Event event = MakeEvent(kind, pHandle != nullptr ? pHandle->nDevice : -1);
  event.nNumber = nNumber;
  if (kind == Event::ClearHalt) event.nEndpoint = nNumber;
  RecordEvent(state.transcript, std::move(event));
}

}  // namespace

// The alternate settings of interface nInterface in the active configuration.
std::vector<const AltSetting*> ClaimableSettings(const SimDevice& device, int nInterface) {
  std::vector<const AltSetting*> settings;
  const Configuration* pConfiguration = ActiveConfiguration(device);
  if (pConfiguration == nullptr) return settings;
  for (const Interface& interface : pConfiguration->interfaces) {
    for (const AltSetting& alt : interface.altSettings) {
      if (alt.bInterfaceNumber == nInterface) settings.push_back(&alt);
    }
  }
  return settings;
}

bool IsCaptureSetting(const AltSetting& alt) {
  return alt.bInterfaceClass == kClassVendor && alt.bInterfaceSubClass == kSubClassCapture;
}

}  // namespace vsim

extern "C" {

int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index,
                    char* /*bytes*/, int size, int /*timeout*/) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  Event event = vsim::MakeEvent(Event::Control, dev != nullptr ? dev->nDevice : -1);
  event.nRequestType = requesttype;
  event.nRequest = request;
  event.nValue = value;
  event.nIndex = index;
  event.nLength = size;
  vsim::RecordEvent(state.transcript, std::move(event));
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  if (pDevice == nullptr) return vsim::HandleError(state, dev);
  if ((requesttype & 0x80) != 0) return vsim::kStall;  // nothing to read from this device
  const bool bModeRequest = requesttype == 0x40 && request == 0x52 && value == 0;
  if (bModeRequest && pDevice->config.idVendor == 0x05AC && (index == 0 || index == 2)) {
    if (pDevice->config.bModeRequestFails) return vsim::kStall;
    const bool bOn = index == 2;
    if (pDevice->bCaptureMode != bOn) {
      // The phone drops off the bus and comes back with the other set of
      // configurations, at a new address.
      pDevice->bCaptureMode = bOn;
      vsim::Reenumerate(*pDevice);
    }
    return 0;
  }
  return size;
}

int usb_set_configuration(usb_dev_handle* dev, int configuration) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  vsim::Record(state, Event::SetConfiguration, dev, configuration);
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  if (pDevice == nullptr) return vsim::HandleError(state, dev);
  if (pDevice->config.bSetConfigurationFails) return vsim::kBusy;
  const auto& layout = vsim::CurrentLayout(*pDevice);
  const bool bKnown = std::any_of(layout.begin(), layout.end(), [&](const auto& c) {
    return c.bConfigurationValue == configuration;
  });
  if (!bKnown) return vsim::kInvalid;
  pDevice->nActiveConfig = configuration;
  pDevice->claimed.clear();
  pDevice->bSessionActive = false;
  return 0;
}

int usb_claim_interface(usb_dev_handle* dev, int interface) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  vsim::Record(state, Event::ClaimInterface, dev, interface);
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  if (pDevice == nullptr) return vsim::HandleError(state, dev);
  if (pDevice->config.bClaimFails) return vsim::kBusy;
  const auto settings = vsim::ClaimableSettings(*pDevice, interface);
  if (settings.empty()) return vsim::kNoEntry;
  if (std::find(pDevice->claimed.begin(), pDevice->claimed.end(), interface) !=
      pDevice->claimed.end()) {
    return 0;
  }
  pDevice->claimed.push_back(interface);
  const bool bCapture =
      std::any_of(settings.begin(), settings.end(),
                  [](const vsim::AltSetting* p) { return vsim::IsCaptureSetting(*p); });
  if (bCapture && pDevice->config.behaviour == vsim::Behaviour::Protocol) {
    pDevice->bSessionActive = true;
    pDevice->session = vsim::StartSession();
  }
  return 0;
}

int usb_release_interface(usb_dev_handle* dev, int interface) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  vsim::Record(state, Event::ReleaseInterface, dev, interface);
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  if (pDevice == nullptr) return vsim::HandleError(state, dev);
  auto it = std::find(pDevice->claimed.begin(), pDevice->claimed.end(), interface);
  if (it == pDevice->claimed.end()) return vsim::kNoEntry;
  pDevice->claimed.erase(it);
  const auto settings = vsim::ClaimableSettings(*pDevice, interface);
  if (std::any_of(settings.begin(), settings.end(),
                  [](const vsim::AltSetting* p) { return vsim::IsCaptureSetting(*p); })) {
    pDevice->bSessionActive = false;
  }
  return 0;
}

int usb_set_altinterface(usb_dev_handle* dev, int alternate) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  vsim::Record(state, Event::SetAltInterface, dev, alternate);
  return vsim::HandleError(state, dev);
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int ep) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  vsim::Record(state, Event::ClearHalt, dev, static_cast<int>(ep));
  return vsim::HandleError(state, dev);
}

int usb_resetep(usb_dev_handle* dev, unsigned int ep) {
  return usb_clear_halt(dev, ep);
}

int usb_reset(usb_dev_handle* dev) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  vsim::Record(state, Event::Reset, dev, 0);
  SimDevice* pDevice = vsim::LiveDevice(state, dev);
  if (pDevice == nullptr) return vsim::HandleError(state, dev);
  // A port reset makes the device enumerate again: this handle is done.
  vsim::Reenumerate(*pDevice);
  return 0;
}

#ifndef _WIN32
int usb_get_driver_np(usb_dev_handle* dev, int /*interface*/, char* /*name*/,
                      unsigned int /*namelen*/) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  const int nError = vsim::HandleError(state, dev);
  return nError != 0 ? nError : -61;  // -ENODATA: no driver holds the interface
}

int usb_detach_kernel_driver_np(usb_dev_handle* dev, int interface) {
  return usb_get_driver_np(dev, interface, nullptr, 0);
}
#endif

}  // extern "C"
