#include "device_test_util.h"

#include <algorithm>

#include "platform/clock.h"

namespace dtest {
namespace {

void RecordLine(void* pContext, const char* szText) {
  auto* pRecord = static_cast<LogRecord*>(pContext);
  const std::string szLine(szText);
  if (pRecord->onLine) pRecord->onLine(szLine);
  std::lock_guard lock(pRecord->mutex);
  pRecord->vecLines.push_back(szLine);
  pRecord->vecTicks.push_back(ClockTicks());
}

}  // namespace

std::vector<std::string> LogRecord::Lines() {
  std::lock_guard lock(mutex);
  return vecLines;
}

size_t LogRecord::Count(const std::string& szLine) {
  std::lock_guard lock(mutex);
  return static_cast<size_t>(std::count(vecLines.begin(), vecLines.end(), szLine));
}

ScopedLogRecorder::ScopedLogRecorder(CaptureSession& session, LogRecord& record)
    : m_pPrevious(g_Callbacks.onLog) {
  session.pCallbackContext = &record;
  g_Callbacks.onLog = RecordLine;
}

ScopedLogRecorder::~ScopedLogRecorder() {
  g_Callbacks.onLog = m_pPrevious;
}

vsim::Endpoint Ep(uint8_t byAddress, uint16_t wMaxPacketSize) {
  vsim::Endpoint endpoint;
  endpoint.byAddress = byAddress;
  endpoint.wMaxPacketSize = wMaxPacketSize;
  return endpoint;
}

vsim::Configuration OneInterfaceConfig(uint8_t byValue, std::vector<vsim::AltSetting> vecAlts) {
  vsim::Configuration config;
  config.bConfigurationValue = byValue;
  config.interfaces.push_back(vsim::Interface{std::move(vecAlts)});
  return config;
}

vsim::AltSetting CaptureAlt(uint8_t byInterface, uint8_t byAlternate,
                            std::vector<vsim::Endpoint> vecEndpoints) {
  vsim::AltSetting alt;
  alt.bInterfaceNumber = byInterface;
  alt.bAlternateSetting = byAlternate;
  alt.bInterfaceSubClass = 0x2A;
  alt.endpoints = std::move(vecEndpoints);
  return alt;
}

vsim::DeviceConfig ScriptedCaptureDevice(const std::string& szSerial) {
  vsim::DeviceConfig config;
  config.serial = szSerial;
  config.bCaptureModeOn = true;
  config.behaviour = vsim::Behaviour::Scripted;
  return config;
}

bool IsModeRequest(const vsim::Event& event, int nIndex) {
  return event.kind == vsim::Event::Control && event.nRequestType == 0x40 &&
         event.nRequest == 0x52 && event.nValue == 0 && event.nIndex == nIndex &&
         event.nLength == 0;
}

std::vector<vsim::Event> DeviceEvents() {
  std::vector<vsim::Event> vecEvents = vsim::Transcript();
  std::erase_if(vecEvents, [](const vsim::Event& e) { return e.kind == vsim::Event::BulkWrite; });
  return vecEvents;
}

std::vector<vsim::Event::Kind> DeviceEventKinds() {
  std::vector<vsim::Event::Kind> vecKinds;
  for (const vsim::Event& event : DeviceEvents()) vecKinds.push_back(event.kind);
  return vecKinds;
}

}  // namespace dtest
