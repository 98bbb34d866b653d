// The capture side's outward interface: the table through which the capture
// thread hands media and events on. Start-up fills it once, before the capture
// thread exists, and never writes it again while it runs; every slot gets the
// session's pCallbackContext first, and callers test a slot for null before use.
#pragma once

#include <cstdint>

#include "avc/access_unit.h"

struct LinkReport;

struct SessionCallbacks {
  void (*onAudioFormat)(void* pContext, uint32_t nBitsPerChannel, uint32_t nChannelsPerFrame,
                        int32_t nSampleRate, int32_t nOne) = nullptr;
  void (*onAudioData)(void* pContext, const uint8_t* pData, int32_t nSize) = nullptr;
  void (*onStreamStart)(void* pContext) = nullptr;
  void (*onDeviceLost)(void* pContext) = nullptr;
  void (*onReserved)(void* pContext) = nullptr;
  void (*onLog)(void* pContext, const char* szText) = nullptr;
  // A sound sample's presentation time on the device's clock (nValue /
  // nTimeScale seconds; a time scale of 0: the sample had none), just before
  // its data. nMediaKind is the four-character code soun (a video sample's
  // time travels in its access unit).
  void (*onSampleTime)(void* pContext, uint32_t nMediaKind, int64_t i64Value,
                       uint32_t nTimeScale) = nullptr;
  // The connection as the user is to see it (link_report.h); called on the
  // capture thread, which must not be kept waiting.
  void (*onLinkReport)(void* pContext, const LinkReport& report) = nullptr;
  // Every video sample, once it is whole, with the parameter sets in force:
  // each sink gets it in turn, with its own context.
  AccessUnitSinks videoSinks;
  bool bInstalled = false;
};

// The process-wide table.
extern SessionCallbacks g_Callbacks;

// Accepts the arguments of any slot and does nothing.
template <typename... Args>
void NoOpCallback(void*, Args...) {}
