#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "video_test_util.h"

namespace {

TEST(FrameStore, EmptyStoreCopiesNothing) {
  FrameStore store;
  std::vector<uint8_t> vecPixels = {1, 2, 3};
  int32_t nWidth = 7;
  int32_t nHeight = 9;
  EXPECT_FALSE(CopyLatestFrame(store, vecPixels, nWidth, nHeight));
  EXPECT_TRUE(vecPixels.empty());
  EXPECT_EQ(nWidth, 0);
  EXPECT_EQ(nHeight, 0);
}

TEST(FrameStore, PublishSwapsAndCopyReturnsLatest) {
  FrameStore store;
  std::vector<uint8_t> vecFirst(4 * 2 * 3, 0x11);
  PublishFrame(store, vecFirst, 2, 3);
  EXPECT_TRUE(vecFirst.empty());  // the store held nothing before
  std::vector<uint8_t> vecSecond(4 * 5 * 1, 0x22);
  PublishFrame(store, vecSecond, 5, 1);
  EXPECT_EQ(vecSecond, std::vector<uint8_t>(4 * 2 * 3, 0x11));  // the previous picture
  std::vector<uint8_t> vecCopy;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  ASSERT_TRUE(CopyLatestFrame(store, vecCopy, nWidth, nHeight));
  EXPECT_EQ(nWidth, 5);
  EXPECT_EQ(nHeight, 1);
  EXPECT_EQ(vecCopy, std::vector<uint8_t>(4 * 5 * 1, 0x22));
}

struct NotifyCounter {
  int nCalls = 0;
  void* pSeenContext = nullptr;
};

void CountingNotifier(void* pContext) {
  auto* pCounter = static_cast<NotifyCounter*>(pContext);
  ++pCounter->nCalls;
  pCounter->pSeenContext = pContext;
}

TEST(FrameStore, NotifierGetsItsContextAndNullMeansNone) {
  NotifyCounter counter;
  SetFramePublishedNotifier(CountingNotifier, &counter);
  NotifyFramePublished();
  NotifyFramePublished();
  EXPECT_EQ(counter.nCalls, 2);
  EXPECT_EQ(counter.pSeenContext, &counter);
  SetFramePublishedNotifier(nullptr, &counter);
  NotifyFramePublished();
  EXPECT_EQ(counter.nCalls, 2);
}

// The invariant under a concurrent reader: every look at the store finds
// 4 x width x height bytes, or nothing with width and height 0. The writer
// alternates sizes so a torn update would show. (The TSan build runs this.)
TEST(FrameStore, ReaderAlwaysSeesConsistentPicture) {
  FrameStore store;
  std::atomic<bool> bStop{false};
  std::atomic<int> nBad{0};
  std::atomic<int> nSeen{0};
  std::thread reader([&] {
    std::vector<uint8_t> vecCopy;
    while (!bStop.load()) {
      {
        std::lock_guard<std::mutex> lock(store.mutex);
        const size_t nExpected = static_cast<size_t>(4) * store.width * store.height;
        if (store.pixels.size() != nExpected) {
          ++nBad;
        }
      }
      int32_t nWidth = 0;
      int32_t nHeight = 0;
      if (CopyLatestFrame(store, vecCopy, nWidth, nHeight)) {
        ++nSeen;
        if (vecCopy.size() != static_cast<size_t>(4) * nWidth * nHeight ||
            vecCopy[0] != static_cast<uint8_t>(nWidth)) {
          ++nBad;
        }
      }
    }
  });
  const int32_t anSizes[3][2] = {{16, 8}, {3, 40}, {64, 64}};
  std::vector<uint8_t> vecPixels;
  for (int i = 0; i < 3000; ++i) {
    const int32_t nWidth = anSizes[i % 3][0];
    const int32_t nHeight = anSizes[i % 3][1];
    vecPixels.assign(static_cast<size_t>(4) * nWidth * nHeight, static_cast<uint8_t>(nWidth));
    PublishFrame(store, vecPixels, nWidth, nHeight);
    if (i % 64 == 0) {
      std::this_thread::yield();
    }
  }
  // Let the reader see the last picture at least once.
  while (nSeen.load() == 0) {
    std::this_thread::yield();
  }
  bStop = true;
  reader.join();
  EXPECT_EQ(nBad.load(), 0);
}

// The same invariant with the real pipeline as writer: a stream whose size
// changes mid-way goes through the slots while a reader checks the global
// store (the painter's view).
TEST(FrameStore, ReaderDuringRealDecodeWithSizeChange) {
  vtest::H264Options options;
  options.nWidth = 176;
  options.nHeight = 144;
  options.nFrames = 12;
  options.nSecondWidth = 96;
  options.nSecondHeight = 208;
  options.nSecondFrames = 12;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const std::vector<vtest::DeviceSample> samples = vtest::ToDeviceSamples(stream.accessUnits);

  vtest::QuietFfmpegLogs();
  InstallSessionCallbacks(g_Callbacks);
  vtest::ClearFrameStore();
  VideoDecoder decoder;
  ASSERT_EQ(OpenVideoDecoder(decoder), DecoderOpenResult::Ok);
  g_pCurrentDecoder = &decoder;
  std::atomic<bool> bStop{false};
  std::atomic<int> nBad{0};
  std::atomic<int> nSizes{0};
  std::thread reader([&] {
    std::vector<uint8_t> vecCopy;
    int32_t nLastWidth = 0;
    while (!bStop.load()) {
      int32_t nWidth = 0;
      int32_t nHeight = 0;
      const bool bHave = CopyLatestFrame(g_FrameStore, vecCopy, nWidth, nHeight);
      if (vecCopy.size() != static_cast<size_t>(4) * nWidth * nHeight || (bHave && nWidth == 0)) {
        ++nBad;
      }
      if (bHave && nWidth != nLastWidth) {
        nLastWidth = nWidth;
        ++nSizes;
      }
    }
  });
  for (int nRound = 0; nRound < 3; ++nRound) {
    vtest::FeedSamplesThroughSlots(samples);
  }
  bStop = true;
  reader.join();
  g_pCurrentDecoder = nullptr;
  CloseVideoDecoder(decoder);
  vtest::ClearFrameStore();
  EXPECT_EQ(nBad.load(), 0);
  EXPECT_GE(nSizes.load(), 1);
}

}  // namespace
