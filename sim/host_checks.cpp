// What the device makes of the host's bulk writes: answers to its requests,
// compared with what a correct host sends, NEEDs, and pings.
#include <cmath>
#include <cstring>

#include "host_packets.h"
#include "packet_writer.h"
#include "protocol.h"

namespace vsim {

namespace {

bool IsNeed(std::span<const uint8_t> packet) {
  return packet.size() == 20 && ReadU32(packet, 4) == FourCC("asyn") &&
         ReadU32(packet, 16) == FourCC("need");
}

bool Equal(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

std::string Difference(const std::string& szWhat, std::span<const uint8_t> expected,
                       std::span<const uint8_t> packet) {
  size_t nAt = 0;
  while (nAt < expected.size() && nAt < packet.size() && expected[nAt] == packet[nAt]) ++nAt;
  return szWhat + ": differs at byte " + std::to_string(nAt) + " (length " +
         std::to_string(packet.size()) + ", expected " + std::to_string(expected.size()) +
         "); expected " + HexOf(expected) + ", the host sent " + HexOf(packet);
}

// The common shape of a reply: length, kind, correlation id, reserved word.
bool CheckReplyHeader(const Expected& expected, std::span<const uint8_t> packet, size_t nLength,
                      std::vector<std::string>& errors) {
  if (packet.size() == nLength && ReadU32(packet, 4) == FourCC("rply") &&
      ReadU64(packet, 8) == expected.qwCorrelation && ReadU32(packet, 16) == 0u) {
    return true;
  }
  errors.push_back(expected.szWhat + ": not a " + std::to_string(nLength) +
                   "-byte reply with correlation id " + std::to_string(expected.qwCorrelation) +
                   ": " + HexOf(packet));
  return false;
}

void CheckTimeReply(const Expected& expected, std::span<const uint8_t> packet, uint64_t qwNow,
                    std::vector<std::string>& errors) {
  if (!CheckReplyHeader(expected, packet, 44, errors)) return;
  // The host counts from when it received the clok, which is no earlier than
  // when the device sent it: its elapsed time cannot be longer than ours.
  const uint64_t qwValue = *ReadU64(packet, 20);
  const uint64_t qwMost = qwNow - expected.qwSentAt;
  if (static_cast<int64_t>(qwValue) < 0 || qwValue > qwMost) {
    errors.push_back(expected.szWhat + ": elapsed time " + std::to_string(qwValue) +
                     " ms, but only " + std::to_string(qwMost) + " ms passed since the clok");
  }
  if (ReadU32(packet, 28) != 1000u || ReadU32(packet, 32) != 1u || ReadU64(packet, 36) != 0u) {
    errors.push_back(expected.szWhat +
                     ": time scale, flags or epoch not 1000, 1, 0: " + HexOf(packet));
  }
}

void CheckSkewReply(const Expected& expected, std::span<const uint8_t> packet,
                    std::vector<std::string>& errors) {
  if (!CheckReplyHeader(expected, packet, 28, errors)) return;
  double dSkew = 0;
  const uint64_t qwBits = *ReadU64(packet, 20);
  std::memcpy(&dSkew, &qwBits, sizeof dSkew);
  if (!std::isfinite(dSkew)) errors.push_back(expected.szWhat + ": not a finite rate");
}

void HandlePing(ProtocolSession& session, std::span<const uint8_t> packet,
                std::vector<std::string>& errors) {
  if (!Equal(packet, PingPacket())) errors.push_back(Difference("ping", PingPacket(), packet));
  if (session.nPingAnswersDue > 0) {
    --session.nPingAnswersDue;
    return;
  }
  // The host's own ping (its keep-alive): the device answers it, and the
  // host's answer to that is expected in turn.
  session.outbox.push_back(PingPacket());
  ++session.nPingAnswersDue;
}

void HandleNeed(ProtocolSession& session, std::span<const uint8_t> packet,
                std::vector<std::string>& errors) {
  if (session.stage < Stage::Clok) {
    errors.push_back("NEED before the cvrp exchange: " + HexOf(packet));
    return;
  }
  const Bytes need = NeedPacket(session.qwVideoClockRef);
  if (!Equal(packet, need)) errors.push_back(Difference("NEED", need, packet));
  ++session.nNeedCredits;
}

void HandlePacket(ProtocolSession& session, std::span<const uint8_t> packet, uint64_t qwNow,
                  std::vector<std::string>& errors) {
  if (ReadU32(packet, 4) == FourCC("ping")) {
    HandlePing(session, packet, errors);
    return;
  }
  const bool bNeedExpected = !session.expected.empty() &&
                             session.expected.front().kind == Expected::Exact &&
                             IsNeed(session.expected.front().vecBytes);
  if (IsNeed(packet) && !bNeedExpected) {
    HandleNeed(session, packet, errors);
    return;
  }
  if (session.expected.empty()) {
    errors.push_back("unexpected packet from the host: " + HexOf(packet));
    return;
  }
  const Expected expected = std::move(session.expected.front());
  session.expected.pop_front();
  switch (expected.kind) {
    case Expected::Exact:
      if (!Equal(packet, expected.vecBytes)) {
        errors.push_back(Difference(expected.szWhat, expected.vecBytes, packet));
      }
      if (bNeedExpected && IsNeed(packet)) ++session.nNeedCredits;
      break;
    case Expected::Time:
      CheckTimeReply(expected, packet, qwNow, errors);
      break;
    case Expected::Skew:
      CheckSkewReply(expected, packet, errors);
      break;
  }
}

}  // namespace

void OnHostWrite(ProtocolSession& session, std::span<const uint8_t> bytes, uint64_t qwNow,
                 std::vector<std::string>& errors) {
  size_t nOffset = 0;
  while (nOffset < bytes.size()) {
    const std::optional<uint32_t> nLength = ReadU32(bytes, nOffset);
    if (!nLength || *nLength < 8 || *nLength > bytes.size() - nOffset) {
      errors.push_back("the host wrote bytes that are not whole packets: " +
                       HexOf(bytes.subspan(nOffset)));
      return;
    }
    HandlePacket(session, bytes.subspan(nOffset, *nLength), qwNow, errors);
    nOffset += *nLength;
  }
  if (bytes.empty()) errors.push_back("the host wrote an empty transfer");
}

}  // namespace vsim
