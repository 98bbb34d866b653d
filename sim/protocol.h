// The device's side of the screen-capture protocol for one claim of the
// capture interface: what it sends on its IN endpoint and when, and how it
// checks what the host writes to its OUT endpoint.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim.h"
#include "video_source.h"

namespace vsim {

// A reply or announcement the device waits for, with the packet the host
// must send (bExact) or only its length and correlation id.
struct Expected {
  std::string szWhat;
  std::vector<uint8_t> vecBytes;
  bool bExact = true;
};

enum class Stage { Ping, Cwpa, Afmt, Cvrp, Clok, Time, Media, Stopping, Stopped };

struct ProtocolSession {
  Stage stage = Stage::Ping;
  bool bStageSent = false;                  // the request of the current stage is out
  std::deque<std::vector<uint8_t>> outbox;  // transfers ready to go
  std::deque<Expected> expected;
  int nPingAnswersDue = 0;
  uint64_t qwNextCorrelation = 0;
  uint64_t qwAudioClockRef = 0;
  uint64_t qwVideoClockRef = 0;
  uint64_t qwTimeClockRef = 0;
  uint64_t qwClokSentAt = 0;
  int nNeedCredits = 0;
  size_t nNextUnit = 0;    // access unit of the video source sent next
  int nLastParamSet = -1;  // parameter sets the host has last been given
  uint64_t qwNextFrameAt = 0;
  uint64_t qwVideoPts = 0;     // in the source's time scale
  uint64_t qwAudioFrames = 0;  // 48 kHz frames sent so far
  double dAudioDebt = 0;       // fraction of a frame carried to the next packet
  bool bAudioFormatSent = false;
  int nFramesThisSession = 0;
  bool bStopRequested = false;
};

// Fresh session, at the claim of the capture interface.
ProtocolSession StartSession(uint64_t qwNow);

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
