// The device's side of the screen-capture protocol for one claim of the
// capture interface: what it sends on its IN endpoint and when, and how it
// checks what the host writes to its OUT endpoint.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "sim.h"
#include "video_source.h"

namespace vsim {

// A packet the device waits for from the host: known byte for byte (Exact),
// or a reply whose payload depends on the host's clock (Time, Skew) and is
// checked for its shape.
struct Expected {
  enum Kind { Exact, Time, Skew } kind = Exact;
  std::string szWhat;
  std::vector<uint8_t> vecBytes;  // Exact
  uint64_t qwCorrelation = 0;     // Time, Skew
  uint64_t qwSentAt = 0;          // Time: when the clok went out
};

enum class Stage { Ping, Cwpa, Afmt, Cvrp, Clok, Time, Media, Stopping, Stopped };

struct ProtocolSession {
  Stage stage = Stage::Ping;
  bool bStageSent = false;                  // the request of the current stage is out
  std::deque<std::vector<uint8_t>> outbox;  // transfers due at once
  std::deque<Expected> expected;
  int nPingAnswersDue = 0;  // pings of the device the host has not answered yet
  uint64_t qwNextCorrelation = 0;
  uint64_t qwAudioClockRef = 0;
  uint64_t qwVideoClockRef = 0;
  uint64_t qwClokRef = 0;
  uint64_t qwClokSentAt = 0;
  int nNeedCredits = 0;
  size_t nNextUnit = 0;       // access unit of the video source sent next
  int nHostParamSet = -1;     // parameter sets the host has last been given
  double dNextPictureAt = 0;  // host time the next picture is taken
  uint64_t qwNextSlot = 0;    // the next picture's number on the device's clock
  uint64_t qwAudioFrames = 0;
  uint64_t qwMediaStartedAt = 0;  // host time the media began (the device's clock counts from it)
  uint64_t qwNextAudioAt = 0;     // tone: when its next packet is due
  int nPictures = 0;              // sent in this session
  uint64_t qwSoundPackets = 0;    // sent in this session
  bool bStreamEnded = false;      // still: the last picture is out, no more media
  bool bStopRequested = false;
};

// Fresh session, at the claim of the capture interface.
ProtocolSession StartSession();

// One bulk write of the host. Failures go to errors.
void OnHostWrite(ProtocolSession& session, std::span<const uint8_t> bytes, uint64_t qwNow,
                 std::vector<std::string>& errors);

// The next transfer the device sends: ready now (bytes filled), or the time
// at which the next one will be (UINT64_MAX: nothing until the host writes).
struct NextTransfer {
  bool bReady = false;
  std::vector<uint8_t> vecBytes;
  uint64_t qwDueAt = UINT64_MAX;
  bool bPicture = false;  // the transfer carries a picture
};
NextTransfer PollDevice(ProtocolSession& session, const DeviceConfig& config,
                        const VideoSource* pVideo, uint64_t qwNow,
                        std::vector<std::string>& errors);

}  // namespace vsim
