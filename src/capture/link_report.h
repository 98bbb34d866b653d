// What the user is shown of the connection leaves the capture side the way
// media does: the capture thread hands a report to the onLinkReport slot as
// the connection changes, and never waits for anyone to read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CaptureSession;

enum class LinkStage : int32_t {
  Searching,   // the device with the UDID is not on the bus
  Activating,  // found: capture configuration on, configuration set, interface claimed
  Receiving,   // the protocol runs; pictures may come
  Lost,        // the connection has just ended (unplugged, reset); searching again
};

struct LinkReport {
  LinkStage stage = LinkStage::Searching;
  // What the last scan saw, for a search that finds nothing: the devices of
  // the vendor, those of them that could not be opened for lack of
  // permission, and the UDIDs of those that could (none of them the one wanted).
  int32_t nVendorDevices = 0;
  int32_t nNoPermission = 0;
  std::vector<std::string> vecOtherUdids;
};

// Hands the report to the slot, with the session's context; nothing when the
// slot is empty or there is no session.
void ReportLink(const CaptureSession* pSession, const LinkReport& report);

// A report of the stage alone.
void ReportLinkStage(const CaptureSession* pSession, LinkStage stage);
