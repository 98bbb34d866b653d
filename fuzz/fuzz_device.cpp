#include "fuzz_device.h"

#include <string>

#include "device/device_name.h"
#include "platform/clock.h"
#include "sim.h"
#include "video/video_decoder.h"

extern "C" {
#include <libavutil/log.h>
}

// The name lookup would start a process for every input; the fuzzed loop
// only needs it to answer.
bool GetDeviceName(const std::string&, std::string& szName, bool*) {
  szName.clear();
  return false;
}

namespace {

constexpr uint8_t kVendorClass = 0xFF;
constexpr uint8_t kCaptureSubClass = 0x2A;

// The first alternate setting of the capture class, with its endpoints.
bool FindCaptureInterface(struct usb_device* pDevice, UsbConfigChoice& choice) {
  for (int c = 0; c < pDevice->descriptor.bNumConfigurations; ++c) {
    const usb_config_descriptor& config = pDevice->config[c];
    for (int i = 0; i < config.bNumInterfaces; ++i) {
      const usb_interface& interface = config.interface[i];
      for (int a = 0; a < interface.num_altsetting; ++a) {
        const usb_interface_descriptor& alt = interface.altsetting[a];
        if (alt.bInterfaceClass != kVendorClass || alt.bInterfaceSubClass != kCaptureSubClass) {
          continue;
        }
        choice.nConfig = config.bConfigurationValue;
        choice.nInterface = alt.bInterfaceNumber;
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
          const uint8_t byAddress = alt.endpoint[e].bEndpointAddress;
          if ((byAddress & 0x80) != 0) {
            choice.byInEndpoint = byAddress;
          } else {
            choice.byOutEndpoint = byAddress;
          }
        }
        return true;
      }
    }
  }
  return false;
}

}  // namespace

bool ConnectFuzzDevice(CaptureSession& session, int& nDevice) {
  vsim::Reset();
  vsim::DeviceConfig config;
  config.bCaptureModeOn = true;
  config.behaviour = vsim::Behaviour::Scripted;
  nDevice = vsim::AddDevice(config);
  usb_init();
  usb_find_busses();
  usb_find_devices();
  for (struct usb_bus* pBus = usb_get_busses(); pBus != nullptr; pBus = pBus->next) {
    for (struct usb_device* pDevice = pBus->devices; pDevice != nullptr; pDevice = pDevice->next) {
      if (!FindCaptureInterface(pDevice, session.QtConfig)) continue;
      session.pDevice = pDevice;
      session.pDevHandle = usb_open(pDevice);
      if (session.pDevHandle == nullptr) return false;
      return usb_set_configuration(session.pDevHandle, session.QtConfig.nConfig) == 0 &&
             usb_claim_interface(session.pDevHandle, session.QtConfig.nInterface) == 0;
    }
  }
  return false;
}

void DisconnectFuzzDevice(CaptureSession& session) {
  if (session.pDevHandle != nullptr) usb_close(session.pDevHandle);
  session.pDevHandle = nullptr;
  session.pDevice = nullptr;
}

CaptureSession& FreshFuzzSession() {
  static CaptureSession session;
  if (!session.pRecvBuffer) {
    UseVirtualClock(1'000'000);
    session.pRecvBuffer = std::make_unique<uint8_t[]>(kReceiveBufferSize);
  }
  session.nRunState.store(kRunRunning);
  ResetCaptureSession(session);
  return session;
}

VideoDecoder* PrepareFuzzDecoder() {
  static VideoDecoder decoder;
  if (!decoder.open) {
    av_log_set_level(AV_LOG_QUIET);
    OpenVideoDecoder(decoder);
  }
  return decoder.open ? &decoder : nullptr;
}

std::vector<std::span<const uint8_t>> SplitFuzzInput(std::span<const uint8_t> input) {
  std::vector<std::span<const uint8_t>> pieces;
  size_t nPosition = 0;
  while (nPosition + 2 <= input.size()) {
    const size_t nSize = input[nPosition] | (static_cast<size_t>(input[nPosition + 1]) << 8);
    nPosition += 2;
    const size_t nTake = std::min(nSize, input.size() - nPosition);
    pieces.push_back(input.subspan(nPosition, nTake));
    nPosition += nTake;
  }
  return pieces;
}
