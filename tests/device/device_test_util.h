// Shared pieces of the device tests: a log recorder installed as the onLog
// slot, and short ways to describe simulated devices and read the transcript.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device/capture_session.h"
#include "sim.h"
#include "video/session_callbacks.h"

namespace dtest {

// Every log line with the virtual time at which it was written. The hook runs
// on the logging thread, inside LogMessage, before the line is stored.
struct LogRecord {
  std::mutex mutex;
  std::vector<std::string> vecLines;
  std::vector<uint64_t> vecTicks;
  std::function<void(const std::string&)> onLine;

  std::vector<std::string> Lines();
  size_t Count(const std::string& szLine);
};

// Installs the recorder as g_Callbacks.onLog with session.pCallbackContext
// pointing at it; the previous slot comes back at the end of the scope.
class ScopedLogRecorder {
 public:
  ScopedLogRecorder(CaptureSession& session, LogRecord& record);
  ~ScopedLogRecorder();
  ScopedLogRecorder(const ScopedLogRecorder&) = delete;
  ScopedLogRecorder& operator=(const ScopedLogRecorder&) = delete;

 private:
  void (*m_pPrevious)(void*, const char*);
};

// A bulk endpoint.
vsim::Endpoint Ep(uint8_t byAddress, uint16_t wMaxPacketSize = 512);

// A configuration holding one interface with the given alternate settings.
vsim::Configuration OneInterfaceConfig(uint8_t byValue, std::vector<vsim::AltSetting> vecAlts);

// A capture-class alternate setting (0xFF/0x2A) with the given endpoints.
vsim::AltSetting CaptureAlt(uint8_t byInterface, uint8_t byAlternate,
                            std::vector<vsim::Endpoint> vecEndpoints);

// A scripted device already in its capture configuration.
vsim::DeviceConfig ScriptedCaptureDevice(const std::string& szSerial);

bool IsModeRequest(const vsim::Event& event, int nIndex);

// The transcript without bulk writes: what the device-access code itself did.
std::vector<vsim::Event> DeviceEvents();

// Kinds of the device events, e.g. {Open, Control, Close}.
std::vector<vsim::Event::Kind> DeviceEventKinds();

}  // namespace dtest
