#include "device/device_name_lookup.h"

#include <string>
#include <system_error>

#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "device/device_name.h"
#include "device/printable_text.h"
#include "log/log_texts.h"

namespace {

// Takes the opened device's UDID as a copy (the capture thread clears it at
// the next attempt) and reads only the log's context from the session.
void LookUpAndLog(const CaptureSession* pSession, std::string szUdid,
                  const std::atomic<bool>* pbCancel) {
  std::string szName;
  GetDeviceName(szUdid, szName, nullptr, pbCancel);
  LogMessage(pSession, kLogDeviceName, PrintableDeviceName(szName).c_str());
}

}  // namespace

void StartDeviceNameLookup(DeviceNameLookup& lookup, const CaptureSession& session) {
  if (!LogEnabled() || lookup.worker.joinable()) return;
  lookup.bCancel.store(false);
  try {
    lookup.worker = std::thread(LookUpAndLog, &session, session.szDeviceUdid, &lookup.bCancel);
  } catch (const std::system_error&) {
    // No thread to spare: the log goes without the name.
  }
}

void EndDeviceNameLookup(DeviceNameLookup& lookup) {
  if (!lookup.worker.joinable()) return;
  lookup.bCancel.store(true);
  lookup.worker.join();
}
