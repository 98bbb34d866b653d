#include "capture/receive_loop.h"

#include "capture/byte_order.h"
#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "capture/fourcc.h"
#include "capture/media_packet.h"
#include "capture/packet_format.h"
#include "capture/session_callbacks.h"
#include "capture/sync_handlers.h"
#include "log/log_texts.h"
#include "platform/clock.h"

namespace {

// The keep-alive the device expects after a second without traffic.
inline constexpr int kKeepAliveRequestType = 0x40;
inline constexpr int kKeepAliveRequest = 0x40;
inline constexpr int kKeepAliveValue = 0x6400;
inline constexpr int kKeepAliveIndex = 0x6400;
inline constexpr uint32_t kResetWaitMs = 1000;

enum class Step { Continue, Leave, ErrorExit };

void SendKeepAlive(CaptureSession& session) {
  LogMessage(&session, "116");
  usb_control_msg(session.pDevHandle, kKeepAliveRequestType, kKeepAliveRequest, kKeepAliveValue,
                  kKeepAliveIndex, nullptr, 0, kUsbTransferTimeoutMs);
  std::vector<uint8_t> vecPing = BuildPingPacket();
  SendPacket(session, vecPing);
}

// Every feed is answered with the latest NEED; before the first cvrp there is
// none, and nothing is sent.
void SendNeedAgain(CaptureSession& session) {
  if (session.vecNeedPacket.empty()) return;
  std::vector<uint8_t> vecNeed = session.vecNeedPacket;
  SendPacket(session, vecNeed);
}

Step DispatchAsyn(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<uint32_t> nSubType = ReadLe32(packet, kPacketSubTypeOffset);
  if (!nSubType) return Step::Continue;
  bool bError = false;
  if (*nSubType == kAsynEat) {
    ReceiveAsynPacket(session, packet, kMediaSoun, &bError);
  } else if (*nSubType == kAsynFeed) {
    ReceiveAsynPacket(session, packet, kMediaVide, &bError);
    SendNeedAgain(session);
  }
  return bError ? Step::ErrorExit : Step::Continue;
}

void DispatchSync(CaptureSession& session, std::span<const uint8_t> packet) {
  const std::optional<uint32_t> nSubType = ReadLe32(packet, kPacketSubTypeOffset);
  if (!nSubType) return;
  switch (*nSubType) {
    case kSyncCwpa:
      return HandleCWPA(session, packet);
    case kSyncAfmt:
      return HandleAFMT(session, packet);
    case kSyncCvrp:
      return HandleCVRP(session, packet);
    case kSyncClok:
      return HandleCLOK(session, packet);
    case kSyncTime:
      return HandleTIME(session, packet);
    case kSyncOg:
      return HandleOG(session, packet);
    case kSyncSkew:
      return HandleSKEW(session, packet);
    case kSyncStop:
      return HandleSTOP(session, packet);
    default:
      return;
  }
}

Step DispatchPacket(CaptureSession& session, std::span<const uint8_t> packet) {
  const uint32_t nMagic = ReadLe32(packet, kPacketMagicOffset).value_or(0);
  switch (nMagic) {
    case kMagicAsyn:
      return DispatchAsyn(session, packet);
    case kMagicPing: {
      LogMessage(&session, "PING received");
      std::vector<uint8_t> vecPing = BuildPingPacket();
      SendPacket(session, vecPing);
      return Step::Continue;
    }
    case kMagicSync:
      DispatchSync(session, packet);
      return Step::Continue;
    default:
      LogMessage(&session, "ReceiveLoop unknown magic type:(0x%x)", nMagic);
      return Step::Continue;
  }
}

// One pass: the run state, one read, and what the read brought.
Step RunOnce(CaptureSession& session, std::vector<uint8_t>& vecPacket) {
  const int32_t nRunState = session.nRunState.load();
  if (nRunState == kRunStopped || nRunState == kRunStopRequested) return Step::Leave;
  if (nRunState != kRunRunning) {
    LogMessage(&session, kLogUnknownRunState, nRunState);
    return Step::Leave;
  }
  const int32_t nResult = ReceivePacket(session, vecPacket);
  if (nResult == kUsbTimeoutResult) {
    SendKeepAlive(session);
    return Step::Continue;
  }
  if (nResult < 0) {
    LogMessage(&session, kLogDeviceDisconnected, nResult);
    if (g_Callbacks.onDeviceLost) g_Callbacks.onDeviceLost(session.pCallbackContext);
    return Step::Leave;
  }
  if (vecPacket.size() <= kPacketHeaderSize) return Step::Continue;
  return DispatchPacket(session, vecPacket);
}

}  // namespace

bool ReceiveLoop(CaptureSession& session) {
  std::vector<uint8_t> vecPacket;
  Step step = Step::Continue;
  while (step == Step::Continue) step = RunOnce(session, vecPacket);
  if (step == Step::ErrorExit) {
    LogMessage(&session, "ReceiveAsynPacket error");
    usb_reset(session.pDevHandle);
    ClockSleep(kResetWaitMs);
  }
  return true;
}
