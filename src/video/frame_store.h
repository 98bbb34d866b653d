// The latest decoded picture, shared between the capture thread (writer) and
// the painter (reader). Pixels, width and height change together under the
// mutex: a reader sees 4 x width x height bytes of BGRA, or nothing at all.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

struct FrameStore {
  std::vector<uint8_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  std::mutex mutex;
};

extern FrameStore g_FrameStore;

// Swaps vecPixels into the store (vecPixels then holds the previous picture,
// to be freed or reused by the caller outside the lock). vecPixels must hold
// 4 x nWidth x nHeight bytes.
void PublishFrame(FrameStore& store, std::vector<uint8_t>& vecPixels, int32_t nWidth,
                  int32_t nHeight);

// Copies the latest picture out under the lock (reusing vecPixels' storage);
// false (and vecPixels empty, width and height 0) when there is none yet.
bool CopyLatestFrame(FrameStore& store, std::vector<uint8_t>& vecPixels, int32_t& nWidth,
                     int32_t& nHeight);

// Hands the latest picture to pfnUse under the lock, in place: a painter that
// uploads it straight into its own surface keeps no copy of it. False, and no
// call, when there is none yet. pfnUse must not take the lock itself, nor
// publish; the capture thread waits for it before its next publication.
bool UseLatestFrame(FrameStore& store,
                    void (*pfnUse)(const uint8_t* pPixels, int32_t nWidth, int32_t nHeight,
                                   void* pContext),
                    void* pContext);

// The shell's repaint request, called after each published picture (outside
// the lock) with pContext. A null function means no notification (no window).
// Meant to be set before the capture thread runs (or while it publishes
// nothing); the pointers are atomics, so a change while it runs is no data race.
void SetFramePublishedNotifier(void (*pfnNotify)(void*), void* pContext);
void NotifyFramePublished();
