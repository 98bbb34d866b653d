#include "device/device_name_lookup.h"

#include <string>
#include <system_error>

#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "device/device_name.h"
#include "device/printable_text.h"
#include "log/log_texts.h"

namespace {

// Reads only what stays fixed while the session runs: its UDID and the log's
// context.
void LookUpAndLog(const CaptureSession* pSession, const std::atomic<bool>* pbCancel) {
  std::string szName;
  GetDeviceName(pSession->szUDID, szName, nullptr, pbCancel);
  LogMessage(pSession, kLogDeviceName, PrintableDeviceName(szName).c_str());
}

}  // namespace

void StartDeviceNameLookup(DeviceNameLookup& lookup, const CaptureSession& session) {
  if (!LogEnabled() || lookup.worker.joinable()) return;
  lookup.bCancel.store(false);
  try {
    lookup.worker = std::thread(LookUpAndLog, &session, &lookup.bCancel);
  } catch (const std::system_error&) {
    // No thread to spare: the log goes without the name.
  }
}

void EndDeviceNameLookup(DeviceNameLookup& lookup) {
  if (!lookup.worker.joinable()) return;
  lookup.bCancel.store(true);
  lookup.worker.join();
}
