#include "video/frame_store.h"

#include <atomic>
#include <utility>

FrameStore g_FrameStore;

namespace {
std::atomic<void (*)(void*)> g_pfnNotify{nullptr};
std::atomic<void*> g_pNotifyContext{nullptr};
}  // namespace

void PublishFrame(FrameStore& store, std::vector<uint8_t>& vecPixels, int32_t nWidth,
                  int32_t nHeight) {
  std::lock_guard<std::mutex> lock(store.mutex);
  store.width = nWidth;
  store.height = nHeight;
  store.pixels.swap(vecPixels);
}

bool CopyLatestFrame(FrameStore& store, std::vector<uint8_t>& vecPixels, int32_t& nWidth,
                     int32_t& nHeight) {
  std::lock_guard<std::mutex> lock(store.mutex);
  if (store.pixels.empty() || store.width <= 0 || store.height <= 0) {
    vecPixels.clear();
    nWidth = 0;
    nHeight = 0;
    return false;
  }
  vecPixels.assign(store.pixels.begin(), store.pixels.end());
  nWidth = store.width;
  nHeight = store.height;
  return true;
}

bool UseLatestFrame(FrameStore& store,
                    void (*pfnUse)(const uint8_t* pPixels, int32_t nWidth, int32_t nHeight,
                                   void* pContext),
                    void* pContext) {
  std::lock_guard<std::mutex> lock(store.mutex);
  if (store.pixels.empty() || store.width <= 0 || store.height <= 0) return false;
  pfnUse(store.pixels.data(), store.width, store.height, pContext);
  return true;
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
