// The one emulated bus and everything on it: the process-wide state behind
// both the usb_* functions and the vsim API, guarded by one mutex.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "chaos.h"
#include "descriptors.h"
#include "protocol.h"
#include "sim.h"
#include "transcript.h"
#include "usb/usb_api.h"

// What usb_open hands out. It outlives usb_close (the bus keeps every handle
// until Reset), so a host that uses a closed handle gets an error, not a crash.
struct usb_dev_handle {
  int nDevice = -1;  // -1: no device of this bus
  uint32_t nGeneration = 0;
  bool bClosed = false;
};

namespace vsim {

// Negative results, as the Linux USB library reports them.
inline constexpr int kNoDevice = -19;     // -ENODEV: unplugged or re-enumerated
inline constexpr int kBadHandle = -9;     // -EBADF: closed handle
inline constexpr int kBusy = -16;         // -EBUSY
inline constexpr int kStall = -32;        // -EPIPE: the device refused the request
inline constexpr int kNoEntry = -2;       // -ENOENT: no such interface or endpoint
inline constexpr int kInvalid = -22;      // -EINVAL
inline constexpr int kOverflow = -75;     // -EOVERFLOW: transfer larger than the buffer
inline constexpr int kNoPermission = -1;  // -EPERM: a handle opened read-only
inline constexpr uint64_t kNever = UINT64_MAX;

struct QueuedTransfer {
  std::vector<uint8_t> vecBytes;
  bool bUnplug = false;
};

struct SimDevice {
  DeviceConfig config;
  std::shared_ptr<const VideoSource> pVideo;
  bool bPlugged = true;
  uint64_t qwReplugAt = kNever;
  bool bCaptureMode = false;
  // Bumped at every re-enumeration (mode change, reset, unplug): handles
  // opened before it are dead.
  uint32_t nGeneration = 0;
  bool bNeedsEnumeration = true;  // the next scan gives it a new address and record
  std::unique_ptr<DeviceRecord> pRecord;
  int nActiveConfig = -1;
  std::vector<int> claimed;
  std::deque<QueuedTransfer> queue;
  bool bSessionActive = false;
  ProtocolSession session;
  int nFramesSent = 0;
  int nFramesSincePlug = 0;
  bool bScenarioUnplugDone = false;
  ChaosState chaos;
  int nHostWrites = 0;  // bulk writes to the capture endpoint, for hang-out
};

struct SimState {
  std::mutex mutex;
  std::vector<std::unique_ptr<SimDevice>> devices;
  std::unique_ptr<usb_bus> pBus;
  int nNextDevnum = 2;  // 1 is the root hub's
  std::vector<std::unique_ptr<usb_dev_handle>> handles;
  TranscriptLog transcript;
  std::vector<std::string> errors;
  std::function<void()> readHook;
  TransferHook transferHook;
  std::string szLastError;
};

// The process-wide state (created on first use).
SimState& State();

// The rest expect the caller to hold State().mutex.

// The device behind a handle while that handle still reaches it, else null.
SimDevice* LiveDevice(SimState& state, const usb_dev_handle* pHandle);
// Why a transfer on the handle fails: kBadHandle, kNoDevice, kNoPermission or 0.
int HandleError(SimState& state, const usb_dev_handle* pHandle);

// Applies what the clock says (re-plugs that are due).
void ApplyTime(SimState& state, uint64_t qwNow);

// Takes the device off the bus; it comes back qwReplugAfterMs later if set.
void UnplugDevice(SimDevice& device, uint64_t qwNow);
// Brings it back with its start-up state and a new address.
void ReplugDevice(SimDevice& device);
// The device drops off and comes back at once (mode change, port reset).
void Reenumerate(SimDevice& device);

// The scan of usb_find_devices: returns the number of records added or removed.
int ScanDevices(SimState& state);

const std::vector<Configuration>& CurrentLayout(const SimDevice& device);

// The alternate settings of interface nInterface in the active configuration.
std::vector<const AltSetting*> ClaimableSettings(const SimDevice& device, int nInterface);
bool IsCaptureSetting(const AltSetting& alt);

// Points usb_busses at the bus list (where the platform has that variable).
void PublishBusList(SimState& state);

void AddError(SimState& state, int nDevice, const std::string& szText);

}  // namespace vsim
