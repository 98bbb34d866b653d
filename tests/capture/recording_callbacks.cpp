#include "recording_callbacks.h"

#include <algorithm>

namespace captest {

namespace {

CallbackRecord& RecordOf(void* pContext) {
  return *static_cast<CallbackRecord*>(pContext);
}

void Deliver(void* pContext, const char* szSlot, const uint8_t* pData, int32_t nSize) {
  Delivery delivery;
  delivery.szSlot = szSlot;
  delivery.pData = pData;
  if (pData != nullptr && nSize > 0) delivery.vecBytes.assign(pData, pData + nSize);
  RecordOf(pContext).vecDeliveries.push_back(std::move(delivery));
}

}  // namespace

std::vector<Delivery> CallbackRecord::Of(const std::string& szSlot) const {
  std::vector<Delivery> vecFound;
  std::copy_if(vecDeliveries.begin(), vecDeliveries.end(), std::back_inserter(vecFound),
               [&](const Delivery& d) { return d.szSlot == szSlot; });
  return vecFound;
}

bool CallbackRecord::HasLine(const std::string& szLine) const {
  return std::find(vecLines.begin(), vecLines.end(), szLine) != vecLines.end();
}

ScopedRecordingCallbacks::ScopedRecordingCallbacks(CaptureSession& session, CallbackRecord& record)
    : previous(g_Callbacks) {
  session.pCallbackContext = &record;
  g_Callbacks.onAudioFormat = [](void* pContext, uint32_t nBits, uint32_t nChannels, int32_t nRate,
                                 int32_t nOne) {
    Delivery delivery;
    delivery.szSlot = "format";
    delivery.vecNumbers = {nBits, nChannels, nRate, nOne};
    RecordOf(pContext).vecDeliveries.push_back(delivery);
  };
  g_Callbacks.onAudioData = [](void* pContext, const uint8_t* pData, int32_t nSize) {
    Deliver(pContext, "audio", pData, nSize);
  };
  g_Callbacks.onStreamStart = [](void* pContext) { Deliver(pContext, "start", nullptr, 0); };
  g_Callbacks.onDeviceLost = [](void* pContext) { Deliver(pContext, "lost", nullptr, 0); };
  g_Callbacks.onVideoParameterSets = [](void* pContext, const uint8_t* pData, int32_t nSize) {
    Deliver(pContext, "params", pData, nSize);
  };
  g_Callbacks.onVideoNalUnit = [](void* pContext, const uint8_t* pData, int32_t nSize) {
    Deliver(pContext, "nal", pData, nSize);
  };
  g_Callbacks.onReserved = nullptr;
  g_Callbacks.onLog = [](void* pContext, const char* szText) {
    RecordOf(pContext).vecLines.emplace_back(szText);
  };
}

ScopedRecordingCallbacks::~ScopedRecordingCallbacks() {
  g_Callbacks = previous;
}

}  // namespace captest
