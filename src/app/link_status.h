// What the window says about the connection: the reports of the capture side
// and the pictures that arrive, turned into the lines to draw. Plain logic,
// no drawing and no lock (window_status.h keeps the process-wide one).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/link_report.h"

// The hint line appears after this long of searching without finding the device.
inline constexpr uint64_t kHintAfterMilliseconds = 5000;

struct LinkStatus {
  LinkStage stage = LinkStage::Searching;  // never Lost: that is Searching with bDisconnected
  bool bDisconnected = false;              // the connection ended and no picture has come since
  bool bFreshPicture = false;              // a picture has come in the current connection
  uint64_t qwSearchingSince = 0;
  LinkReport lastScan;  // what the latest search saw
};

void ApplyLinkReport(LinkStatus& status, const LinkReport& report, uint64_t qwNow);
void ApplyNewPicture(LinkStatus& status);

// The cause to name when the device is not found: a device that could not be
// opened for want of permission (it may be the one), else the UDIDs of the
// devices that are there, else how to connect one. Texts with the UDIDs
// cleaned of control characters.
std::string ChooseHint(const LinkReport& scan);

// The lines for the window at qwNow. With no picture on screen: the status in
// the middle and, after a while of searching, the hint below it. With one: a
// band at the bottom while the picture is not from the current connection, or
// while a notice is due (the notice wins).
struct WindowText {
  std::string szStatus;
  std::string szHint;
  std::string szBand;
  uint64_t qwNextChange = 0;  // when the lines change with no event (0: never)
};
WindowText ComposeWindowText(const LinkStatus& status, const std::string& szUdid, bool bHasPicture,
                             const std::string& szNotice, uint64_t qwNoticeUntil, uint64_t qwNow);
