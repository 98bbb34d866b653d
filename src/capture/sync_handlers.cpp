#include "capture/sync_handlers.h"

#include <optional>
#include <vector>

#include "capture/announcements.h"
#include "capture/byte_order.h"
#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "capture/item_writer.h"
#include "capture/packet_format.h"
#include "capture/receive_loop.h"
#include "platform/clock.h"

namespace {

// Every request carries its clock reference and correlation id; CWPA and CVRP
// also the device's clock reference after them.
inline constexpr size_t kRequestSize = kSyncPayloadOffset;
inline constexpr size_t kRequestWithDeviceClockSize = kSyncPayloadOffset + 8;

// What the device expects back for the clock references it sent.
inline constexpr uint64_t kCwpaClockOffset = 1000;
inline constexpr uint64_t kCvrpClockOffset = 0x1000AF;
inline constexpr uint64_t kClokClockOffset = 0x10000;

inline constexpr uint32_t kTimeScaleMs = 1000;
inline constexpr uint32_t kTimeFlagValid = 1;

inline constexpr double kNominalAudioRate = 48000.0;
inline constexpr double kSkewDivisor = 48.0;

struct SyncRequest {
  uint64_t qwClockRef = 0;
  uint64_t qwCorrelationId = 0;
  uint64_t qwDeviceClockRef = 0;
};

std::optional<SyncRequest> ReadRequest(std::span<const uint8_t> packet, size_t nNeeded) {
  if (packet.size() < nNeeded) return std::nullopt;
  SyncRequest request;
  request.qwClockRef = ReadLe64(packet, kPacketClockRefOffset).value_or(0);
  request.qwCorrelationId = ReadLe64(packet, kSyncCorrelationOffset).value_or(0);
  request.qwDeviceClockRef = ReadLe64(packet, kSyncPayloadOffset).value_or(0);
  return request;
}

unsigned long long Ull(uint64_t qwValue) {
  return static_cast<unsigned long long>(qwValue);
}

void SendReply(CaptureSession& session, uint64_t qwCorrelationId,
               std::span<const uint8_t> payload) {
  std::vector<uint8_t> vecReply = BeginReplyPacket(qwCorrelationId);
  vecReply.insert(vecReply.end(), payload.begin(), payload.end());
  FinishPacket(vecReply);
  SendPacket(session, vecReply);
}

void SendClockReply(CaptureSession& session, uint64_t qwCorrelationId, uint64_t qwClockRef) {
  std::vector<uint8_t> vecPayload;
  AppendLe64(vecPayload, qwClockRef);
  SendReply(session, qwCorrelationId, vecPayload);
}

void SendEmptyReply(CaptureSession& session, uint64_t qwCorrelationId) {
  std::vector<uint8_t> vecPayload;
  AppendLe32(vecPayload, 0);
  SendReply(session, qwCorrelationId, vecPayload);
}

}  // namespace

void HandleCWPA(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestWithDeviceClockSize);
  if (!request) return;
  if (request->qwClockRef != 1) {
    LogMessage(&session,
               "warning CWPA packet should have empty CFTypeID for ClockRef but has:0x%016llx\n",
               Ull(request->qwClockRef));
  }
  LogMessage(&session,
             "RECV : SYNC_CWPA {ClockRef:0x%016llx, CorrelationID:0x%016llx, "
             "DeviceClockRef:0x%016llx}",
             Ull(request->qwClockRef), Ull(request->qwCorrelationId),
             Ull(request->qwDeviceClockRef));
  session.qwLocalClockStart = ClockTicks();
  SendHPD1(session);
  SendClockReply(session, request->qwCorrelationId, request->qwDeviceClockRef + kCwpaClockOffset);
  SendHPA1(session, request->qwDeviceClockRef);
}

void HandleAFMT(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestSize);
  if (!request) return;
  LogMessage(&session, "RECV : SYNC_AFMT : {ClockRef:0x%016llx, CorrelationID:0x%016llx}",
             Ull(request->qwClockRef), Ull(request->qwCorrelationId));
  std::vector<uint8_t> vecAnswer = BeginDictionary();
  AppendEntry(vecAnswer, "Error", Int32Value(0));
  SendReply(session, request->qwCorrelationId, vecAnswer);
}

void HandleCVRP(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestWithDeviceClockSize);
  if (!request) return;
  session.qwNeedClockRef = request->qwDeviceClockRef;
  session.vecNeedPacket = BuildNeedPacket(session.qwNeedClockRef);
  LogMessage(&session, "Send NEED 0x%016llx", Ull(session.qwNeedClockRef));
  std::vector<uint8_t> vecNeed = session.vecNeedPacket;
  SendPacket(session, vecNeed);
  const uint64_t qwReplyClockRef = request->qwDeviceClockRef + kCvrpClockOffset;
  LogMessage(&session, "Send CVRP-RPLY {correlation:0x%016llx, clockRef:0x%016llx}",
             Ull(request->qwCorrelationId), Ull(qwReplyClockRef));
  SendClockReply(session, request->qwCorrelationId, qwReplyClockRef);
}

void HandleCLOK(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestSize);
  if (!request) return;
  LogMessage(&session, "RECV : SYNC_CLOK : {ClockRef:0x%016llx, CorrelationID:0x%016llx}",
             Ull(request->qwClockRef), Ull(request->qwCorrelationId));
  session.qwSyncClockRef = request->qwClockRef;
  session.qwSyncClockStart = ClockTicks();
  const uint64_t qwReplyClockRef = request->qwClockRef + kClokClockOffset;
  LogMessage(&session, "Send SYNC_CLOK {correlation:0x%016llx, clockRef:0x%016llx}",
             Ull(request->qwCorrelationId), Ull(qwReplyClockRef));
  SendClockReply(session, request->qwCorrelationId, qwReplyClockRef);
}

void HandleTIME(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestSize);
  if (!request) return;
  LogMessage(&session, "RECV : SYNC_TIME : {ClockRef:0x%016llx, CorrelationID:0x%016llx}",
             Ull(request->qwClockRef), Ull(request->qwCorrelationId));
  const uint64_t qwElapsed = ClockTicks() - session.qwSyncClockStart;
  std::vector<uint8_t> vecTime;
  AppendLe64(vecTime, qwElapsed);
  AppendLe32(vecTime, kTimeScaleMs);
  AppendLe32(vecTime, kTimeFlagValid);
  AppendLe64(vecTime, 0);
  LogMessage(&session, "Send TIME-REPLY {CorrelationID:0x%016llx, qwID: %llu, time:%llu}",
             Ull(request->qwCorrelationId), Ull(session.qwSyncClockRef), Ull(qwElapsed));
  SendReply(session, request->qwCorrelationId, vecTime);
}

void HandleOG(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestSize);
  if (!request) return;
  LogMessage(&session, "RECV : SYNC_OG : {ClockRef:0x%016llx, CorrelationID:0x%016llx}",
             Ull(request->qwClockRef), Ull(request->qwCorrelationId));
  SendEmptyReply(session, request->qwCorrelationId);
}

double SkewEstimate(const CaptureSession& session) {
  const uint64_t qwLocal = session.qwLastAudioLocal - session.qwFirstAudioLocal;
  const uint64_t qwPts = session.qwLastAudioPts - session.qwFirstAudioPts;
  if (qwLocal > qwPts)
    return kNominalAudioRate - static_cast<double>(qwLocal - qwPts) / kSkewDivisor;
  if (qwLocal < qwPts)
    return kNominalAudioRate + static_cast<double>(qwPts - qwLocal) / kSkewDivisor;
  return kNominalAudioRate;
}

void HandleSKEW(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestSize);
  if (!request) return;
  std::vector<uint8_t> vecSkew;
  AppendLeF64(vecSkew, SkewEstimate(session));
  SendReply(session, request->qwCorrelationId, vecSkew);
}

void HandleSTOP(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<SyncRequest> request = ReadRequest(packet, kRequestSize);
  if (!request) return;
  LogMessage(&session, "RECV : SYNC_STOP : {ClockRef:0x%016llx, CorrelationID:0x%016llx}",
             Ull(request->qwClockRef), Ull(request->qwCorrelationId));
  ResetAudioClock(session);
  SendEmptyReply(session, request->qwCorrelationId);
}
