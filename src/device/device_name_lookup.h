// The device's name for the log, looked up beside the capture: the tool may
// take seconds, or hang until its deadline, and neither the first picture nor
// the stop may wait for it.
#pragma once

#include <atomic>
#include <thread>

struct CaptureSession;

struct DeviceNameLookup {
  std::thread worker;
  std::atomic<bool> bCancel{false};
};

// With the log on, starts the tool on a thread of its own, which logs the
// name when the tool has answered; with the log off (the name goes nowhere
// else) the tool is not run. The session must outlive EndDeviceNameLookup.
void StartDeviceNameLookup(DeviceNameLookup& lookup, const CaptureSession& session);

// Ends a tool still running and waits for its thread (tens of milliseconds).
void EndDeviceNameLookup(DeviceNameLookup& lookup);
