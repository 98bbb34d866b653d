#include "capture/packet_format.h"

#include "capture/fourcc.h"

std::vector<uint8_t> BeginAsynPacket(uint64_t qwClockRef, uint32_t nSubType) {
  std::vector<uint8_t> vecPacket;
  vecPacket.reserve(kAsynHeaderSize);
  AppendLe32(vecPacket, 0);
  AppendLe32(vecPacket, kMagicAsyn);
  AppendLe64(vecPacket, qwClockRef);
  AppendLe32(vecPacket, nSubType);
  return vecPacket;
}

std::vector<uint8_t> BeginReplyPacket(uint64_t qwCorrelationId) {
  std::vector<uint8_t> vecPacket;
  vecPacket.reserve(kReplyHeaderSize + 8);
  AppendLe32(vecPacket, 0);
  AppendLe32(vecPacket, kMagicRply);
  AppendLe64(vecPacket, qwCorrelationId);
  AppendLe32(vecPacket, 0);
  return vecPacket;
}

void FinishPacket(std::vector<uint8_t>& vecPacket) {
  StoreLe32(vecPacket, kPacketLengthOffset, static_cast<uint32_t>(vecPacket.size()));
}

std::vector<uint8_t> BuildPingPacket() {
  std::vector<uint8_t> vecPacket;
  AppendLe32(vecPacket, 16);
  AppendLe32(vecPacket, kMagicPing);
  AppendLe32(vecPacket, 0);
  AppendLe32(vecPacket, 1);
  return vecPacket;
}

std::vector<uint8_t> BuildNeedPacket(uint64_t qwClockRef) {
  std::vector<uint8_t> vecPacket = BeginAsynPacket(qwClockRef, kAsynNeed);
  FinishPacket(vecPacket);
  return vecPacket;
}
