// Shared pieces of the video tests: the feed recorder (a link seam around
// av_parser_parse2, see CMakeLists.txt), the published-picture snapshots, and
// the fixture that opens a decoder and makes it current.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/h264_maker.h"
#include "support/reference_decode.h"
#include "video/frame_store.h"
#include "video/session_callbacks.h"
#include "video/video_decoder.h"

namespace vtest {

// What the code under test handed to av_parser_parse2 since the last
// ResetFeedRecord: the bytes the parser consumed, in order, how many calls,
// and whether every call's input was followed by AV_INPUT_BUFFER_PADDING_SIZE
// zero bytes.
struct FeedRecord {
  std::vector<uint8_t> fed;
  int nCalls = 0;
  bool bPaddingZero = true;
};
void StartFeedRecord();  // empties the record and starts recording
void StopFeedRecord();
const FeedRecord& GetFeedRecord();

// Every picture published while the snapshot notifier is installed: a copy of
// g_FrameStore taken by the notifier (which also checks that it runs after the
// store's mutex was released).
struct Snapshots {
  std::vector<ReferencePicture> pictures;
  bool bCalledUnderLock = false;
};
void InstallSnapshotNotifier(Snapshots& snapshots);
void RemoveNotifier();

// Empties g_FrameStore (test set-up only: no reader may run).
void ClearFrameStore();

// Feeds the samples as the capture side does: the record (when the sample has
// one) through slot 4, then one slot 5 call per length-prefixed unit.
void FeedSamplesThroughSlots(const std::vector<DeviceSample>& samples);

// The whole stream through the slots; returns the published pictures.
std::vector<ReferencePicture> DecodeThroughSlots(const std::vector<Bytes>& accessUnits);

// Compares pictures one by one (size and every byte); a failure names the
// index and the first differing byte.
void ExpectSamePictures(const std::vector<ReferencePicture>& actual,
                        const std::vector<ReferencePicture>& expected);

// Leaves decoded pictures waiting inside the current decoder without a drain,
// so a test can see whether a handler call drains: each Pend() feeds (through
// FeedDecoder, not a handler) the next unit of a small stream, which completes
// the access unit before it. The first Pend() also feeds the parameter sets
// and the first picture, so one picture is waiting after it.
class PendingPictures {
 public:
  PendingPictures();
  void Pend();

 private:
  void FeedDirect(const Bytes& annexB);
  std::vector<Bytes> units_;  // Annex B units, one per call
  size_t nNext_ = 0;
};

// A decoder opened and made current, the callbacks installed, the store
// emptied and the snapshot notifier installed; all undone afterwards.
class VideoFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  VideoDecoder decoder_;
  Snapshots snapshots_;
};

}  // namespace vtest
