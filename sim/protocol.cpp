#include "protocol.h"

namespace vsim {

ProtocolSession StartSession(uint64_t /*qwNow*/) {
  return {};
}

void OnHostWrite(ProtocolSession& /*session*/, std::span<const uint8_t> /*bytes*/,
                 uint64_t /*qwNow*/, std::vector<std::string>& /*errors*/) {}

NextTransfer PollDevice(ProtocolSession& /*session*/, const DeviceConfig& /*config*/,
                        const VideoSource* /*pVideo*/, uint64_t /*qwNow*/,
                        std::vector<std::string>& /*errors*/) {
  return {};
}

}  // namespace vsim
