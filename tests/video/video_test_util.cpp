#include "video_test_util.h"

#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>

// The link seam: the test binary is linked with --wrap=av_parser_parse2.
int __real_av_parser_parse2(AVCodecParserContext* s, AVCodecContext* avctx, uint8_t** poutbuf,
                            int* poutbuf_size, const uint8_t* buf, int buf_size, int64_t pts,
                            int64_t dts, int64_t pos);
int __wrap_av_parser_parse2(AVCodecParserContext* s, AVCodecContext* avctx, uint8_t** poutbuf,
                            int* poutbuf_size, const uint8_t* buf, int buf_size, int64_t pts,
                            int64_t dts, int64_t pos);
}

namespace vtest {

namespace {
bool g_bRecording = false;
FeedRecord g_FeedRecord;

void SnapshotNotifier(void* pContext) {
  auto* pSnapshots = static_cast<Snapshots*>(pContext);
  if (!g_FrameStore.mutex.try_lock()) {
    pSnapshots->bCalledUnderLock = true;
  } else {
    g_FrameStore.mutex.unlock();
  }
  ReferencePicture picture;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  CopyLatestFrame(g_FrameStore, picture.bgra, nWidth, nHeight);
  picture.nWidth = nWidth;
  picture.nHeight = nHeight;
  pSnapshots->pictures.push_back(std::move(picture));
}
}  // namespace

void StartFeedRecord() {
  g_FeedRecord = FeedRecord{};
  g_bRecording = true;
}
void StopFeedRecord() {
  g_bRecording = false;
}
const FeedRecord& GetFeedRecord() {
  return g_FeedRecord;
}

void InstallSnapshotNotifier(Snapshots& snapshots) {
  SetFramePublishedNotifier(SnapshotNotifier, &snapshots);
}

void RemoveNotifier() {
  SetFramePublishedNotifier(nullptr, nullptr);
}

void ClearFrameStore() {
  std::lock_guard<std::mutex> lock(g_FrameStore.mutex);
  std::vector<uint8_t>().swap(g_FrameStore.pixels);
  g_FrameStore.width = 0;
  g_FrameStore.height = 0;
}

void FeedSamplesThroughSlots(const std::vector<DeviceSample>& samples) {
  for (const DeviceSample& sample : samples) {
    if (!sample.record.empty()) {
      g_Callbacks.onVideoParameterSets(nullptr, sample.record.data(),
                                       static_cast<int32_t>(sample.record.size()));
    }
    for (const Bytes& unit : sample.units) {
      g_Callbacks.onVideoNalUnit(nullptr, unit.data(), static_cast<int32_t>(unit.size()));
    }
  }
}

std::vector<ReferencePicture> DecodeThroughSlots(const std::vector<Bytes>& accessUnits) {
  Snapshots snapshots;
  InstallSnapshotNotifier(snapshots);
  FeedSamplesThroughSlots(ToDeviceSamples(accessUnits));
  RemoveNotifier();
  EXPECT_FALSE(snapshots.bCalledUnderLock);
  return std::move(snapshots.pictures);
}

void ExpectSamePictures(const std::vector<ReferencePicture>& actual,
                        const std::vector<ReferencePicture>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i].nWidth, expected[i].nWidth) << "picture " << i;
    ASSERT_EQ(actual[i].nHeight, expected[i].nHeight) << "picture " << i;
    ASSERT_EQ(actual[i].bgra.size(), static_cast<size_t>(4) * actual[i].nWidth * actual[i].nHeight)
        << "picture " << i;
    if (actual[i].bgra != expected[i].bgra) {
      size_t nByte = 0;
      while (nByte < actual[i].bgra.size() && actual[i].bgra[nByte] == expected[i].bgra[nByte]) {
        ++nByte;
      }
      FAIL() << "picture " << i << " differs first at byte " << nByte;
    }
  }
}

PendingPictures::PendingPictures() {
  H264Options options;
  options.nWidth = 48;
  options.nHeight = 32;
  options.nFrames = 60;
  const H264Stream stream = MakeH264Stream(options);
  for (const Bytes& accessUnit : stream.accessUnits) {
    for (const Bytes& unit : SplitAnnexB(accessUnit)) {
      Bytes annexB = {0, 0, 0, 1};
      annexB.insert(annexB.end(), unit.begin(), unit.end());
      units_.push_back(std::move(annexB));
    }
  }
}

void PendingPictures::FeedDirect(const Bytes& annexB) {
  Bytes padded = annexB;
  padded.resize(annexB.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  ASSERT_NE(g_pCurrentDecoder, nullptr);
  ASSERT_TRUE(
      FeedDecoder(*g_pCurrentDecoder, std::span<const uint8_t>(padded.data(), annexB.size())));
}

void PendingPictures::Pend() {
  if (nNext_ == 0) {
    // Parameter sets, SEI and the first picture's slice: nothing completed yet.
    while (nNext_ < units_.size() &&
           NalType(std::span<const uint8_t>(units_[nNext_]).subspan(4)) != 5) {
      FeedDirect(units_[nNext_++]);
    }
    FeedDirect(units_[nNext_++]);
  }
  ASSERT_LT(nNext_, units_.size());
  FeedDirect(units_[nNext_++]);
}

void VideoFixture::SetUp() {
  QuietFfmpegLogs();
  InstallSessionCallbacks(g_Callbacks);
  ClearFrameStore();
  ASSERT_EQ(OpenVideoDecoder(decoder_), DecoderOpenResult::Ok);
  g_pCurrentDecoder = &decoder_;
  InstallSnapshotNotifier(snapshots_);
}

void VideoFixture::TearDown() {
  StopFeedRecord();
  RemoveNotifier();
  g_pCurrentDecoder = nullptr;
  CloseVideoDecoder(decoder_);
  ClearFrameStore();
}

}  // namespace vtest

using vtest::g_bRecording;
using vtest::g_FeedRecord;

extern "C" int __wrap_av_parser_parse2(AVCodecParserContext* s, AVCodecContext* avctx,
                                       uint8_t** poutbuf, int* poutbuf_size, const uint8_t* buf,
                                       int buf_size, int64_t pts, int64_t dts, int64_t pos) {
  const int nConsumed =
      __real_av_parser_parse2(s, avctx, poutbuf, poutbuf_size, buf, buf_size, pts, dts, pos);
  if (g_bRecording) {
    ++g_FeedRecord.nCalls;
    if (buf != nullptr && buf_size > 0) {
      for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i) {
        if (buf[buf_size + i] != 0) {
          g_FeedRecord.bPaddingZero = false;
        }
      }
      if (nConsumed > 0) {
        g_FeedRecord.fed.insert(g_FeedRecord.fed.end(), buf, buf + nConsumed);
      }
    }
  }
  return nConsumed;
}
