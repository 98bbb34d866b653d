// The simulated device's C++ face, for tests that link it in place of libusb.
// (Preloaded into the real program, it reads the VELTRONA_SIM_* environment
// variables instead; see sim/README.md.) It includes nothing of the host's
// code but the USB API.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vsim {

struct Endpoint {
  uint8_t byAddress = 0;  // bit 7 set: IN
  uint16_t wMaxPacketSize = 512;
  uint8_t bmAttributes = 2;  // bulk
};

struct AltSetting {
  uint8_t bInterfaceNumber = 0;
  uint8_t bAlternateSetting = 0;
  uint8_t bInterfaceClass = 0xFF;
  uint8_t bInterfaceSubClass = 0xFE;
  uint8_t bInterfaceProtocol = 2;
  std::vector<Endpoint> endpoints;
  bool bZeroLength = false;  // descriptor with bLength 0
};

struct Interface {
  std::vector<AltSetting> altSettings;
};

struct Configuration {
  uint8_t bConfigurationValue = 1;
  std::vector<Interface> interfaces;
};

// Seeded damage to the transfers the device's protocol sends (test-queued
// ones are left alone): each of the qwFrom-th to the qwTo-th, counted from 1
// over the device's life, is damaged with chance dRate in one of six ways.
struct ChaosConfig {
  bool bOn = false;
  uint64_t qwSeed = 0;
  uint64_t qwFrom = 1;
  uint64_t qwTo = 200;
  double dRate = 0.1;
};

// An error the device puts into its own times (opts): the at-th picture (or
// sound packet) of each connection, counted from 1, says i64ByMs more than
// its clock; with bStep, every one from there on does.
struct TimeError {
  bool bOn = false;
  bool bVideo = true;  // else the sound's
  uint64_t qwAt = 1;
  int64_t i64ByMs = 0;
  bool bStep = false;
};

// What the device sends once its capture interface is claimed.
enum class Behaviour {
  Protocol,  // a device speaking the screen-capture protocol (needs a stream)
  Scripted,  // only what the test queues with QueueTransfer; silence otherwise
};

struct DeviceConfig {
  uint16_t idVendor = 0x05AC;
  uint16_t idProduct = 0x12A8;
  std::string serial = "00008101000A1B2C3D4E5F60";
  // Layouts before and after the mode-on request; empty means the usual ones
  // (usbmux only; usbmux plus the capture interface in a second configuration).
  std::vector<Configuration> layoutBeforeModeOn;
  std::vector<Configuration> layoutAfterModeOn;
  bool bCaptureModeOn = false;  // start already in the capture configuration
  bool bModeRequestFails = false;
  bool bClaimFails = false;
  bool bSetConfigurationFails = false;
  bool bSerialReadFails = false;
  // Each byte of its strings (the serial) is one UTF-16 unit of the descriptor,
  // which the library hands back as that byte, as the real libusb 0.1 does
  // (Latin-1, C1 controls included); otherwise bytes above 0x7F read as '?'.
  bool bRawStrings = false;
  // Opened read-only, as the Linux library does without write access to the
  // device node (no udev rule): every request on the handle fails with -EPERM.
  bool bNoPermission = false;
  Behaviour behaviour = Behaviour::Protocol;
  std::vector<uint8_t> vecH264;  // Annex B stream for Behaviour::Protocol
  bool bFast = false;            // next picture as soon as its NEED arrives
  bool bStill = false;           // at the stream's end, no more media (no loop)
  bool bSilent = false;          // never sends anything: every read times out
  int nUnplugAfterFrames = -1;   // unplug after this many pictures (-1: never)
  bool bUnplugRepeats = false;   // ... after every N pictures of each connection
  uint64_t qwReplugAfterMs = 0;  // ... and come back this much later (0: never);
                                 // applies to every unplug of the device
  uint32_t nToneHz = 0;          // audio: a sine of this frequency (0: silence)
  int32_t nToneDriftPpm = 0;     // ... on an audio clock this far off the host's
  ChaosConfig chaos;
  TimeError timeError;
  // After this many bulk writes to its capture endpoint (-1: never), it takes
  // no more: each later write waits out its time-out, on the real clock.
  int nHangOutAfter = -1;
};

// Removes every device, empties the transcript and queued transfers.
void Reset();

// Adds a device to the one bus (devices of other vendors too); returns its index.
int AddDevice(const DeviceConfig& config);

void Unplug(int nDevice);
void Replug(int nDevice);

// The next bulk read of the device returns exactly these bytes (queued in order).
void QueueTransfer(int nDevice, std::vector<uint8_t> vecBytes);
// After the queued transfers, the next read fails as an unplugged device does.
void QueueUnplug(int nDevice);

// One event the host caused, in order.
struct Event {
  enum Kind {
    BulkWrite,
    Control,
    SetConfiguration,
    ClaimInterface,
    Reset,
    Close,
    Open,
    ReleaseInterface,  // the host is not meant to call these three
    SetAltInterface,
    ClearHalt,
  } kind;
  int nDevice = -1;               // index from AddDevice (-1: a handle that reaches no device)
  int nEndpoint = 0;              // BulkWrite, ClearHalt
  std::vector<uint8_t> vecBytes;  // BulkWrite
  int nRequestType = 0, nRequest = 0, nValue = 0, nIndex = 0, nLength = 0;  // Control
  int nNumber = 0;  // SetConfiguration, ClaimInterface, ReleaseInterface, SetAltInterface
};
std::vector<Event> Transcript();

// The transcript in the file format: one event a line ("open" is not written).
std::string TranscriptText();

// What the device found wrong in the host's packets (Behaviour::Protocol),
// one reason each, in order; empty while the host behaves.
std::vector<std::string> ProtocolErrors();

// The device sends a `stop` request; media ends once the host has answered it.
void RequestStop(int nDevice);

// Pictures the device has sent so far (Behaviour::Protocol).
int FramesSent(int nDevice);

// Called (on the host's thread) before each bulk read; tests use it to stop
// the host at a chosen point.
void SetReadHook(std::function<void()> hook);

// Where a bulk transfer of the host stands when the transfer hook is called:
// a read about to return bytes (the bytes it returns), a write on entry and a
// write about to return (the bytes written). Benchmarks time the device's own
// share of a run, and the host's work between a packet and its answer, by it.
enum class TransferPoint { ReadReturning, WriteEntered, WriteReturning };
using TransferHook = std::function<void(TransferPoint point, std::span<const uint8_t> bytes)>;
// Called on the host's thread, outside the device's lock; null: none.
void SetTransferHook(TransferHook hook);

// Parses a scenario as VELTRONA_SIM_SCENARIO gives it (see sim/README.md)
// into the config; false, with the reason, when it is not understood.
bool ParseScenario(std::string_view szScenario, DeviceConfig& config, std::string& szError);

// Resets and adds the one device the VELTRONA_SIM_* variables describe. The
// preloaded library does this on its first call; false (with the reason on
// standard error) when a variable is unusable.
bool ConfigureFromEnvironment();

}  // namespace vsim
