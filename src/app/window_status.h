// The process-wide state behind the window's texts. The capture thread writes
// it (reports, pictures) and the painter reads it, each under a short lock
// that only ever guards a copy: the capture thread never waits for the window.
#pragma once

#include <cstdint>
#include <string>

#include "app/link_status.h"

// Start-up, before the window exists: the UDID the status names, and the tick
// from which the search counts.
void ResetWindowStatus(const std::string& szUdid, uint64_t qwNow);

// From the onLinkReport slot: applies the report and asks for a repaint.
void PublishLinkReport(const LinkReport& report);

// The frame store's notifier (pContext unused): a picture of the current
// connection is on screen; asks for a repaint.
void OnPicturePublished(void* pContext);

// What to draw now, with the latest notice in it.
WindowText CurrentWindowText(bool bHasPicture, uint64_t qwNow);

// The stage of the connection now (never Lost: that reads as Searching).
LinkStage CurrentLinkStage();
