// A recorder for the session callbacks: every slot the capture side calls,
// with copies of what it was handed and the pointer it was handed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/capture_session.h"
#include "video/session_callbacks.h"

namespace captest {

struct Delivery {
  std::string szSlot;  // "format", "audio", "start", "lost", "params", "nal"
  std::vector<uint8_t> vecBytes;
  const uint8_t* pData = nullptr;
  std::vector<int64_t> vecNumbers;  // the audio format's numbers
};

struct CallbackRecord {
  std::vector<std::string> vecLines;
  std::vector<Delivery> vecDeliveries;

  std::vector<Delivery> Of(const std::string& szSlot) const;
  bool HasLine(const std::string& szLine) const;
};

// Installs recording functions in every slot and points the session's
// context at the record; puts the previous table back when it goes.
struct ScopedRecordingCallbacks {
  ScopedRecordingCallbacks(CaptureSession& session, CallbackRecord& record);
  ~ScopedRecordingCallbacks();
  ScopedRecordingCallbacks(const ScopedRecordingCallbacks&) = delete;
  ScopedRecordingCallbacks& operator=(const ScopedRecordingCallbacks&) = delete;

  SessionCallbacks previous;
};

}  // namespace captest
