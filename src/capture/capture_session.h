// The one object of the capture side. The main thread creates and fills it
// before the capture thread starts; afterwards only nRunState crosses threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "usb/usb_api.h"

inline constexpr uint32_t kReceiveBufferSize = 0x500000;  // 5 MiB
inline constexpr int kUdidFieldSize = 64;

// Run states of nRunState.
inline constexpr int32_t kRunStopped = 0;
inline constexpr int32_t kRunRunning = 1;
inline constexpr int32_t kRunStopRequested = 2;

struct UsbConfigChoice {
  int32_t nConfig = -1;
  int32_t nInterface = -1;
  uint8_t byInEndpoint = 0;
  int32_t nInMaxPacket = -1;
  uint8_t byOutEndpoint = 0;
  int32_t nOutMaxPacket = -1;
};

inline bool IsConfigFound(const UsbConfigChoice& choice) {
  return choice.nConfig != -1 && choice.nInterface != -1;
}

struct CaptureSession {
  std::atomic<int32_t> nRunState{0};
  void* pCallbackContext = nullptr;
  char szUDID[kUdidFieldSize] = {};
  std::string szDeviceUdid;  // of the device opened (szUDID may be --any); empty without one
  struct usb_device* pDevice = nullptr;
  usb_dev_handle* pDevHandle = nullptr;
  UsbConfigChoice MuxConfig;
  UsbConfigChoice QtConfig;
  uint64_t qwNeedClockRef = 0;
  std::vector<uint8_t> vecNeedPacket;
  bool bAudioClockStarted = false;
  uint64_t qwFirstAudioPts = 0;
  uint64_t qwFirstAudioLocal = 0;
  uint64_t qwLastAudioPts = 0;
  uint64_t qwLastAudioLocal = 0;
  uint64_t qwSyncClockRef = 0;
  uint64_t qwSyncClockStart = 0;
  uint64_t qwLocalClockStart = 0;
  bool bAudioHeadMissing = true;
  bool bFirstProcessVideo = true;
  int32_t nVideoHeadSet = 0;
  std::vector<uint8_t> vecVideoRecord;  // the configuration record in force
  bool bVideoRecordNew = false;         // not yet handed on with an access unit
  bool bFirstAsynNotified = false;
  // Whole transfers are read here; the packets after a transfer's first wait
  // in it (nPendingOffset to nPendingLength) until they are handled.
  std::unique_ptr<uint8_t[]> pRecvBuffer;
  uint32_t nPendingOffset = 0;
  uint32_t nPendingLength = 0;
};

// A session with its start values for this UDID (bounded copy into szUDID),
// its receive buffer allocated and nRunState 0; null when the buffer cannot
// be had or the UDID does not fit.
std::unique_ptr<CaptureSession> CreateCaptureSession(const std::string& szUtf8Udid);

// Everything one connection learnt, back to its start values: the device
// chosen, its configurations, the clocks, the media heads and the record in
// force, and bytes never handled. The USB handle is the caller's to close
// first (pDevHandle is left as it is).
void ResetCaptureSession(CaptureSession& session);

// The sound clock's marks, forgotten when the device stops its clock.
void ResetAudioClock(CaptureSession& session);
