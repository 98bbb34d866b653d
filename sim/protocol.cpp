#include "protocol.h"

#include <algorithm>
#include <cmath>

#include "host_packets.h"
#include "packet_writer.h"
#include "sample_buffers.h"

namespace vsim {

namespace {

// Clock references a phone would hand out (they look like its pointers).
constexpr uint64_t kAudioClockRef = 0x00007FA66CE20CB0;
constexpr uint64_t kVideoClockRef = 0x00007FA66D0175C0;
constexpr uint64_t kFirstCorrelation = 0x000060C2A1D8E400;
constexpr int kSkewEveryPictures = 50;
// Pictures taken but not yet sent that the phone keeps for a host that is late.
constexpr uint64_t kMaxBacklog = 4;

uint64_t NextCorrelation(ProtocolSession& session) {
  return session.qwNextCorrelation++;
}

void Expect(ProtocolSession& session, std::string szWhat, Bytes vecBytes) {
  session.expected.push_back({Expected::Exact, std::move(szWhat), std::move(vecBytes), 0, 0});
}

Bytes U64Payload(uint64_t qwValue) {
  Bytes payload;
  PutU64(payload, qwValue);
  return payload;
}

// The request that opens the current handshake stage, with the host's
// answers it waits for.
Bytes HandshakeRequest(ProtocolSession& session, uint64_t qwNow) {
  const uint64_t qwCorrelation = NextCorrelation(session);
  switch (session.stage) {
    case Stage::Ping:
      ++session.nPingAnswersDue;
      return PingPacket();
    case Stage::Cwpa: {
      const uint64_t qwClock = session.qwAudioClockRef;
      Expect(session, "first display announcement", DisplayAnnouncement());
      Expect(session, "second display announcement", DisplayAnnouncement());
      Expect(session, "cwpa reply", ClockReply(qwCorrelation, qwClock + 1000));
      Expect(session, "audio announcement", AudioAnnouncement(qwClock));
      return SyncPacket(1, FourCC("cwpa"), qwCorrelation, U64Payload(qwClock));
    }
    case Stage::Afmt:
      Expect(session, "afmt reply", AudioFormatReply(qwCorrelation));
      return SyncPacket(session.qwAudioClockRef, FourCC("afmt"), qwCorrelation,
                        AudioStreamDescription());
    case Stage::Cvrp: {
      const uint64_t qwClock = session.qwVideoClockRef;
      Expect(session, "NEED after cvrp", NeedPacket(qwClock));
      Expect(session, "cvrp reply", ClockReply(qwCorrelation, qwClock + 0x1000AF));
      Bytes payload = U64Payload(qwClock);
      PutBytes(payload, Dictionary({}));
      return SyncPacket(1, FourCC("cvrp"), qwCorrelation, payload);
    }
    case Stage::Clok:
      session.qwClokRef = session.qwVideoClockRef + 0x1000AF;
      session.qwClokSentAt = qwNow;
      Expect(session, "clok reply", ClockReply(qwCorrelation, session.qwClokRef + 0x10000));
      return SyncPacket(session.qwClokRef, FourCC("clok"), qwCorrelation, {});
    case Stage::Time:
      session.expected.push_back(
          {Expected::Time, "time reply", {}, qwCorrelation, session.qwClokSentAt});
      return SyncPacket(session.qwClokRef + 0x10000, FourCC("time"), qwCorrelation, {});
    default:
      return {};
  }
}

// Moves past the stages whose answers have all come in.
void AdvanceStage(ProtocolSession& session, uint64_t qwNow) {
  while (session.bStageSent && session.expected.empty() && session.nPingAnswersDue == 0 &&
         session.stage != Stage::Media && session.stage != Stage::Stopped) {
    session.stage = static_cast<Stage>(static_cast<int>(session.stage) + 1);
    session.bStageSent = session.stage == Stage::Media || session.stage == Stage::Stopped;
    if (session.stage == Stage::Media) {
      session.dNextPictureAt = static_cast<double>(qwNow);
      session.qwMediaStartedAt = qwNow;
      session.qwNextAudioAt = qwNow;
    }
  }
}

NextTransfer Ready(Bytes vecBytes) {
  NextTransfer next;
  next.bReady = true;
  next.vecBytes = std::move(vecBytes);
  return next;
}

// The device's one clock, for its pictures and its sound: milliseconds since
// the media began, running the drift's parts per million off the host's.
double DeviceMs(const ProtocolSession& session, const DeviceConfig& config, double dHostMs) {
  return (dHostMs - static_cast<double>(session.qwMediaStartedAt)) *
         (1.0 + config.nToneDriftPpm * 1e-6);
}

double HostMs(const ProtocolSession& session, const DeviceConfig& config, double dDeviceMs) {
  return static_cast<double>(session.qwMediaStartedAt) +
         dDeviceMs / (1.0 + config.nToneDriftPpm * 1e-6);
}

// The error the scenario puts into the n-th picture's (or sound packet's) time.
int64_t TimeErrorMs(const DeviceConfig& config, bool bVideo, uint64_t qwNumber) {
  const TimeError& error = config.timeError;
  if (!error.bOn || error.bVideo != bVideo) return 0;
  const bool bHit = qwNumber == error.qwAt || (error.bStep && qwNumber > error.qwAt);
  return bHit ? error.i64ByMs : 0;
}

// A tone keeps its own clock, as a phone's sound does whatever its pictures
// do: an `eat!` every 20 ms, independent of the host's NEEDs, carrying every
// frame due by the end of its span on a clock the drift puts off the host's.
// A late packet carries more frames instead of losing them.
constexpr uint64_t kToneChunkMs = 20;

Bytes ToneChunk(ProtocolSession& session, const DeviceConfig& config, uint64_t qwNow) {
  const double dDue = DeviceMs(session, config, static_cast<double>(qwNow + kToneChunkMs)) * 48.0;
  const auto qwDue = static_cast<uint64_t>(std::max(dDue, 0.0));
  const auto nFrames =
      qwDue > session.qwAudioFrames ? static_cast<uint32_t>(qwDue - session.qwAudioFrames) : 0;
  const int64_t i64ErrorFrames = TimeErrorMs(config, false, ++session.qwSoundPackets) * 48;
  Bytes eat = AudioSamplePacket(session.qwAudioClockRef, session.qwAudioFrames, nFrames,
                                session.qwAudioFrames == 0, config.nToneHz, i64ErrorFrames);
  session.qwAudioFrames += nFrames;
  session.qwNextAudioAt = std::max(session.qwNextAudioAt, qwNow) + kToneChunkMs;
  return eat;
}

// The next picture with the audio of its span, packed in one of three ways
// so that the host meets several packets per transfer and single ones.
// With a tone, the picture goes alone.
NextTransfer Picture(ProtocolSession& session, const VideoSource& video, const DeviceConfig& config,
                     uint64_t qwNow) {
  const AccessUnit& unit = video.units[session.nNextUnit];
  const ParameterSets* pFormat = unit.nParamSet != session.nHostParamSet
                                     ? &video.paramSets[static_cast<size_t>(unit.nParamSet)]
                                     : nullptr;
  session.nHostParamSet = unit.nParamSet;
  // Taken in its frame interval on the device's clock, and stamped with it:
  // a host that asks late gets the pictures its encoder still holds (up to
  // kMaxBacklog intervals back); older ones are dropped, not owed. Fast: taken
  // at this very moment.
  const double dNowMs = DeviceMs(session, config, static_cast<double>(qwNow));
  const auto qwSlotNow = static_cast<uint64_t>(std::max(dNowMs, 0.0) / video.dFrameMs);
  if (qwSlotNow > session.qwNextSlot + kMaxBacklog) session.qwNextSlot = qwSlotNow - kMaxBacklog;
  const double dTakenMs =
      config.bFast ? dNowMs : static_cast<double>(session.qwNextSlot) * video.dFrameMs;
  ++session.qwNextSlot;
  const auto qwDurationNs = static_cast<int64_t>(std::llround(video.dFrameMs * 1e6));
  const int64_t i64PtsNs =
      std::llround(dTakenMs * 1e6) +
      TimeErrorMs(config, true, static_cast<uint64_t>(session.nPictures) + 1) * 1000000;
  Bytes feed = VideoSamplePacket(session.qwVideoClockRef, unit, pFormat, i64PtsNs, qwDurationNs);

  Bytes eat;
  if (config.nToneHz == 0) {
    // The sound of the span up to the next picture's slot, on the same clock.
    const double dDue = (dTakenMs + video.dFrameMs) * 48.0;
    const auto qwDue = static_cast<uint64_t>(std::max(dDue, 0.0));
    const auto nFrames =
        qwDue > session.qwAudioFrames ? static_cast<uint32_t>(qwDue - session.qwAudioFrames) : 0;
    const int64_t i64ErrorFrames = TimeErrorMs(config, false, ++session.qwSoundPackets) * 48;
    eat = AudioSamplePacket(session.qwAudioClockRef, session.qwAudioFrames, nFrames,
                            session.qwAudioFrames == 0, 0, i64ErrorFrames);
    session.qwAudioFrames += nFrames;
  }

  if (++session.nNextUnit == video.units.size()) {
    // A phone whose screen stands still sends nothing until it changes.
    session.bStreamEnded = config.bStill;
    // Otherwise from the top again, and the host hears the format anew.
    session.nNextUnit = 0;
    session.nHostParamSet = -1;
  }
  --session.nNeedCredits;
  session.dNextPictureAt =
      HostMs(session, config, static_cast<double>(session.qwNextSlot) * video.dFrameMs);

  Bytes transfer;
  if (config.nToneHz != 0) {
    ++session.nPictures;
    transfer = std::move(feed);
  } else {
    switch (++session.nPictures % 3) {
      case 0:
        transfer = std::move(feed);
        session.outbox.push_back(std::move(eat));
        break;
      case 1:
        transfer = std::move(feed);
        PutBytes(transfer, eat);
        break;
      default:
        transfer = std::move(eat);
        PutBytes(transfer, feed);
        break;
    }
  }
  const bool bSkewOut = std::any_of(session.expected.begin(), session.expected.end(),
                                    [](const Expected& e) { return e.kind == Expected::Skew; });
  if (session.nPictures % kSkewEveryPictures == 0 && !bSkewOut) {
    const uint64_t qwCorrelation = NextCorrelation(session);
    session.expected.push_back({Expected::Skew, "skew reply", {}, qwCorrelation, 0});
    PutBytes(transfer, SyncPacket(session.qwAudioClockRef, FourCC("skew"), qwCorrelation, {}));
  }
  NextTransfer next = Ready(std::move(transfer));
  next.bPicture = true;
  return next;
}

}  // namespace

ProtocolSession StartSession() {
  ProtocolSession session;
  session.qwNextCorrelation = kFirstCorrelation;
  session.qwAudioClockRef = kAudioClockRef;
  session.qwVideoClockRef = kVideoClockRef;
  return session;
}

NextTransfer PollDevice(ProtocolSession& session, const DeviceConfig& config,
                        const VideoSource* pVideo, uint64_t qwNow,
                        std::vector<std::string>& /*errors*/) {
  if (!session.outbox.empty()) {
    NextTransfer next = Ready(std::move(session.outbox.front()));
    session.outbox.pop_front();
    return next;
  }
  AdvanceStage(session, qwNow);
  if (session.stage < Stage::Media) {
    if (session.bStageSent) return {};  // waiting for the host's answers
    session.bStageSent = true;
    return Ready(HandshakeRequest(session, qwNow));
  }
  if (session.stage == Stage::Media && session.bStopRequested) {
    session.stage = Stage::Stopping;
    const uint64_t qwCorrelation = NextCorrelation(session);
    Expect(session, "stop reply", EmptyReply(qwCorrelation));
    return Ready(SyncPacket(session.qwVideoClockRef, FourCC("stop"), qwCorrelation, {}));
  }
  if (session.stage != Stage::Media || pVideo == nullptr || pVideo->units.empty() ||
      session.bStreamEnded) {
    return {};
  }
  const bool bTone = config.nToneHz != 0;
  if (bTone && qwNow >= session.qwNextAudioAt) return Ready(ToneChunk(session, config, qwNow));
  NextTransfer next;
  if (session.nNeedCredits <= 0) {
    // the host has not asked for more
  } else if (!config.bFast && session.dNextPictureAt > static_cast<double>(qwNow)) {
    next.qwDueAt = static_cast<uint64_t>(std::ceil(session.dNextPictureAt));
  } else {
    return Picture(session, *pVideo, config, qwNow);
  }
  if (bTone) next.qwDueAt = std::min(next.qwDueAt, session.qwNextAudioAt);
  return next;
}

}  // namespace vsim
