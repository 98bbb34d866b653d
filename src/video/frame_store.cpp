#include "video/frame_store.h"

#include <atomic>
#include <utility>

extern "C" {
#include <libavutil/frame.h>
}

FrameStore g_FrameStore;

namespace {
std::atomic<void (*)(void*)> g_pfnNotify{nullptr};
std::atomic<void*> g_pNotifyContext{nullptr};
}  // namespace

FrameStore::~FrameStore() {
  av_frame_free(&pFrame);
}

bool PublishFrame(FrameStore& store, const AVFrame* pFrame) {
  AVFrame* pNew = av_frame_alloc();
  if (pNew == nullptr || av_frame_ref(pNew, pFrame) < 0) {
    av_frame_free(&pNew);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(store.mutex);
    std::swap(store.pFrame, pNew);
  }
  // The last reference to the previous picture gives its buffer back to the
  // decoder's pool, outside the lock.
  av_frame_free(&pNew);
  return true;
}

AVFrame* RefLatestFrame(FrameStore& store) {
  std::lock_guard<std::mutex> lock(store.mutex);
  return store.pFrame != nullptr ? av_frame_clone(store.pFrame) : nullptr;
}

void SetFramePublishedNotifier(void (*pfnNotify)(void*), void* pContext) {
  // The function goes away first and comes back last, so a concurrent
  // NotifyFramePublished never pairs a new function with the old context.
  g_pfnNotify.store(nullptr, std::memory_order_release);
  g_pNotifyContext.store(pContext, std::memory_order_release);
  g_pfnNotify.store(pfnNotify, std::memory_order_release);
}

void NotifyFramePublished() {
  void (*pfnNotify)(void*) = g_pfnNotify.load(std::memory_order_acquire);
  if (pfnNotify != nullptr) {
    pfnNotify(g_pNotifyContext.load(std::memory_order_acquire));
  }
}
