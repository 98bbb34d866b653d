// The latest decoded picture, shared between the capture thread (writer) and
// its readers (the painter, the screenshot thread). The store holds a
// reference to the decoder's own picture, in the decoder's format: no copy is
// made to publish it, and a reader takes a reference of its own and converts
// it outside the lock.
#pragma once

#include <mutex>

extern "C" {
struct AVFrame;
}

struct FrameStore {
  AVFrame* pFrame = nullptr;  // null until the first picture
  std::mutex mutex;
  FrameStore() = default;
  FrameStore(const FrameStore&) = delete;
  FrameStore& operator=(const FrameStore&) = delete;
  ~FrameStore();
};

extern FrameStore g_FrameStore;

// Takes a new reference to pFrame's buffers (av_frame_ref) and makes it the
// latest picture; the previous one is let go outside the lock. False (the
// store unchanged) when the reference cannot be made.
bool PublishFrame(FrameStore& store, const AVFrame* pFrame);

// A reference of the caller's own to the latest picture (to av_frame_free),
// or null when there is none yet. The picture stays as it is while the caller
// holds it: the decoder never writes into a buffer that is still referenced.
AVFrame* RefLatestFrame(FrameStore& store);

// The shell's repaint request, called after each published picture (outside
// the lock) with pContext. A null function means no notification (no window).
// Meant to be set before the capture thread runs (or while it publishes
// nothing); the pointers are atomics, so a change while it runs is no data race.
void SetFramePublishedNotifier(void (*pfnNotify)(void*), void* pContext);
void NotifyFramePublished();
