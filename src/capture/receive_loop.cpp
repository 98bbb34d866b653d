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

// The device sends a picture for each NEED, and the host sends a NEED for each
// picture it receives: a feed lost on the way (a damaged, cut or dropped
// transfer) leaves both waiting for good. Asking again once no picture has
// come this long after the last ask mends that; it is longer than the
// keep-alive's second, so that a device that has just gone quiet hears the
// keep-alive first. A still phone only hears a NEED now and then.
inline constexpr uint64_t kNeedAgainAfterMs = 1500;
// A connection whose first picture has not come by then is given up: a
// handshake request or answer was lost, and only a new connection starts it
// again. A still phone sends its picture once connected, so this never
// touches it.
inline constexpr uint64_t kFirstPictureWithinMs = 5000;

// A media packet that cannot be used is dropped like a transfer that cannot
// be framed: one damaged packet does not cost the connection. Only a run of
// them, of one kind, with no usable one between (a stream that lost its
// format description never mends by itself), resets the device.
inline constexpr int kUnusableInARowForReset = 3;

inline constexpr char kLogNeedAgain[] = "NEED again: no picture for %u ms";
inline constexpr char kLogNeedOwed[] = "NEED again: a transfer could not be used";
inline constexpr char kLogUnusableDropped[] = "ReceiveAsynPacket error: dropped (%d in a row)";
inline constexpr char kLogHandshakeStalled[] = "no picture within %u ms of the connection";

enum class Step { Continue, Leave, ErrorExit, GiveUp };

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

// What the loop watches over one connection.
struct Watch {
  uint64_t qwStartedAt = 0;
  uint64_t qwAskedAt = 0;  // last NEED sent, at a feed or again; 0: none yet
  bool bPictureSeen = false;
  bool bOwedSent = false;  // a NEED for a transfer that could not be used, since the last feed
  int nUnusableFeeds = 0;  // in a row
  int nUnusableEats = 0;
};

// Counts an unusable media packet of one kind (a usable one ends the run);
// the loop goes on unless the run has grown too long.
Step CountUnusable(CaptureSession& session, bool bError, int& nInARow) {
  nInARow = bError ? nInARow + 1 : 0;
  if (!bError) return Step::Continue;
  if (nInARow >= kUnusableInARowForReset) return Step::ErrorExit;
  LogMessage(&session, kLogUnusableDropped, nInARow);
  return Step::Continue;
}

// A transfer the host could not use may have held a feed; its NEED is owed,
// once per picture, so that a device that sends empty transfers now and then
// cannot pile up requests.
void OweNeed(CaptureSession& session, Watch& watch) {
  if (session.vecNeedPacket.empty() || watch.bOwedSent) return;
  LogMessage(&session, kLogNeedOwed);
  SendNeedAgain(session);
  watch.bOwedSent = true;
  watch.qwAskedAt = ClockTicks();
}

Step DispatchAsyn(CaptureSession& session, std::span<const uint8_t> packet, Watch& watch) {
  const std::optional<uint32_t> nSubType = ReadLe32(packet, kPacketSubTypeOffset);
  if (!nSubType) return Step::Continue;
  bool bError = false;
  if (*nSubType == kAsynEat) {
    ReceiveAsynPacket(session, packet, kMediaSoun, &bError);
    return CountUnusable(session, bError, watch.nUnusableEats);
  }
  if (*nSubType == kAsynFeed) {
    ReceiveAsynPacket(session, packet, kMediaVide, &bError);
    SendNeedAgain(session);
    watch.qwAskedAt = ClockTicks();
    watch.bOwedSent = false;
    watch.bPictureSeen = watch.bPictureSeen || !bError;
    return CountUnusable(session, bError, watch.nUnusableFeeds);
  }
  return Step::Continue;
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

Step DispatchPacket(CaptureSession& session, std::span<const uint8_t> packet, Watch& watch) {
  const uint32_t nMagic = ReadLe32(packet, kPacketMagicOffset).value_or(0);
  switch (nMagic) {
    case kMagicAsyn:
      return DispatchAsyn(session, packet, watch);
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

// After every pass: a picture owed for too long is asked for again, and a
// connection that never reached its first picture is given up.
Step CheckWatch(CaptureSession& session, Watch& watch) {
  const uint64_t qwNow = ClockTicks();
  if (!watch.bPictureSeen && qwNow - watch.qwStartedAt >= kFirstPictureWithinMs) {
    LogMessage(&session, kLogHandshakeStalled, static_cast<unsigned>(kFirstPictureWithinMs));
    return Step::GiveUp;
  }
  if (session.vecNeedPacket.empty()) return Step::Continue;
  if (watch.qwAskedAt == 0) watch.qwAskedAt = qwNow;  // the cvrp's NEED has just gone
  if (qwNow - watch.qwAskedAt >= kNeedAgainAfterMs) {
    LogMessage(&session, kLogNeedAgain, static_cast<unsigned>(qwNow - watch.qwAskedAt));
    SendNeedAgain(session);
    watch.qwAskedAt = qwNow;
  }
  return Step::Continue;
}

// One pass: the run state, one read, and what the read brought.
Step RunOnce(CaptureSession& session, std::vector<uint8_t>& vecPacket, Watch& watch) {
  const int32_t nRunState = session.nRunState.load();
  if (nRunState == kRunStopped || nRunState == kRunStopRequested) return Step::Leave;
  if (nRunState != kRunRunning) {
    LogMessage(&session, kLogUnknownRunState, nRunState);
    return Step::Leave;
  }
  const int32_t nResult = ReceivePacket(session, vecPacket);
  // A stop asked for during the read: what it brought is not answered, as a
  // device that takes no data would make each answer wait out its time-out.
  if (session.nRunState.load() != kRunRunning) return Step::Leave;
  if (nResult == kUsbTimeoutResult) {
    SendKeepAlive(session);
    return Step::Continue;
  }
  if (nResult < 0) {
    LogMessage(&session, kLogDeviceDisconnected, nResult);
    if (g_Callbacks.onDeviceLost) g_Callbacks.onDeviceLost(session.pCallbackContext);
    return Step::Leave;
  }
  if (vecPacket.empty()) OweNeed(session, watch);
  if (vecPacket.size() <= kPacketHeaderSize) return Step::Continue;
  return DispatchPacket(session, vecPacket, watch);
}

}  // namespace

bool ReceiveLoop(CaptureSession& session) {
  std::vector<uint8_t> vecPacket;
  Watch watch;
  watch.qwStartedAt = ClockTicks();
  Step step = Step::Continue;
  while (step == Step::Continue) {
    step = RunOnce(session, vecPacket, watch);
    if (step == Step::Continue) step = CheckWatch(session, watch);
  }
  if (step == Step::ErrorExit) LogMessage(&session, "ReceiveAsynPacket error");
  // The device re-enumerates after the reset; the capture thread's pause
  // before its next attempt gives it the time, so pictures are back a second
  // sooner than with a pause of its own here as well.
  if (step == Step::ErrorExit || step == Step::GiveUp) usb_reset(session.pDevHandle);
  return true;
}
