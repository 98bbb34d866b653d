#include "app/link_status.h"

#include "app/app_texts.h"
#include "device/printable_text.h"
#include "device/usb_discovery.h"

void ApplyLinkReport(LinkStatus& status, const LinkReport& report, uint64_t qwNow) {
  switch (report.stage) {
    case LinkStage::Lost:
      status.bDisconnected = true;
      status.bFreshPicture = false;
      status.stage = LinkStage::Searching;
      status.qwSearchingSince = qwNow;
      status.lastScan = {};
      return;
    case LinkStage::Searching:
      if (status.stage != LinkStage::Searching) status.qwSearchingSince = qwNow;
      status.lastScan = report;
      break;
    case LinkStage::Activating:
      break;
    case LinkStage::Receiving:
      status.bFreshPicture = false;
      break;
  }
  status.stage = report.stage;
}

void ApplyNewPicture(LinkStatus& status) {
  status.bFreshPicture = true;
  status.bDisconnected = false;
}

std::string ChooseHint(const LinkReport& scan) {
  if (scan.nNoPermission > 0) return kTextHintNoPermission;
  if (!scan.vecOtherUdids.empty()) {
    std::string szHint = kTextHintOtherUdidsPrefix;
    for (size_t i = 0; i < scan.vecOtherUdids.size(); ++i) {
      if (i != 0) szHint += ", ";
      szHint += PrintableText(scan.vecOtherUdids[i]);
    }
    return szHint;
  }
  return kTextHintConnect;
}

namespace {

// The line for the stage (while searching: which search).
std::string StageLine(const LinkStatus& status, const std::string& szUdid) {
  switch (status.stage) {
    case LinkStage::Activating:
      return kTextActivating;
    case LinkStage::Receiving:
      return kTextWaitingForPicture;
    default:
      if (status.bDisconnected) return kTextDisconnected;
      if (IsAnyDeviceUdid(szUdid)) return kTextSearchingAny;
      return kTextSearchingPrefix + PrintableText(szUdid) + kTextEllipsis;
  }
}

// Called only for changes still to come.
void SoonerChange(WindowText& text, uint64_t qwAt) {
  if (text.qwNextChange == 0 || qwAt < text.qwNextChange) text.qwNextChange = qwAt;
}

}  // namespace

WindowText ComposeWindowText(const LinkStatus& status, const std::string& szUdid, bool bHasPicture,
                             const std::string& szNotice, uint64_t qwNoticeUntil, uint64_t qwNow) {
  WindowText text;
  const bool bNotice = !szNotice.empty() && qwNow < qwNoticeUntil;
  if (bNotice) SoonerChange(text, qwNoticeUntil);
  if (bHasPicture) {
    // A picture of the current connection is the whole answer; an older one
    // stays on screen with the band saying why it does not move.
    const bool bStale = !(status.stage == LinkStage::Receiving && status.bFreshPicture);
    if (bNotice)
      text.szBand = szNotice;
    else if (bStale)
      text.szBand = StageLine(status, szUdid);
    return text;
  }
  text.szStatus = StageLine(status, szUdid);
  if (bNotice) text.szBand = szNotice;
  if (status.stage == LinkStage::Searching) {
    const uint64_t qwHintAt = status.qwSearchingSince + kHintAfterMilliseconds;
    if (qwNow >= qwHintAt)
      text.szHint = ChooseHint(status.lastScan);
    else
      SoonerChange(text, qwHintAt);
  }
  return text;
}
