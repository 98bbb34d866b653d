// The video pipeline against x264 streams and FFmpeg's own decode of them.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <tuple>

#include "avc/access_unit.h"
#include "support/h264_maker.h"
#include "support/reference_decode.h"
#include "video/frame_store.h"
#include "video/picture_conversion.h"
#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace vtest;

constexpr auto Cat = JoinAccessUnits;

constexpr int kPad = AV_INPUT_BUFFER_PADDING_SIZE;

// While bOn: the bytes av_parser_parse2 consumed, and whether zero padding followed each input.
struct FeedRecord {
  bool bOn = false;
  Bytes fed = {};
  bool bPaddingZero = true;
} g_Record;

extern "C" int __real_av_parser_parse2(AVCodecParserContext*, AVCodecContext*, uint8_t**, int*,
                                       const uint8_t*, int, int64_t, int64_t, int64_t);
extern "C" int __wrap_av_parser_parse2(AVCodecParserContext* s, AVCodecContext* c, uint8_t** ppOut,
                                       int* pnOut, const uint8_t* p, int n, int64_t pts,
                                       int64_t dts, int64_t pos) {
  const int nUsed = __real_av_parser_parse2(s, c, ppOut, pnOut, p, n, pts, dts, pos);
  if (g_Record.bOn && n > 0) {
    g_Record.bPaddingZero &= std::count(p + n, p + n + kPad, 0) == kPad;
    g_Record.fed.insert(g_Record.fed.end(), p, p + std::max(nUsed, 0));
  }
  return nUsed;
}

namespace {

std::vector<ReferencePicture> g_Published;  // the store at each notification

// The store's picture as the screenshot converts it.
void Snapshot(void* pPublished) {
  ReferencePicture& picture = static_cast<decltype(g_Published)*>(pPublished)->emplace_back();
  AVFrame* pFrame = RefLatestFrame(g_FrameStore);
  PictureScaler scaler;
  if (pFrame != nullptr && ConvertFrameToBgra(scaler, pFrame, picture.bgra))
    std::tie(picture.nWidth, picture.nHeight) = std::tuple(pFrame->width, pFrame->height);
  ReleasePictureScaler(scaler);
  av_frame_free(&pFrame);
}

VideoDecoder* g_pDecoder = nullptr;  // the handlers' context

enum class Kind { Record, Units, End };  // the three video slots

void Slot(Kind kind, const Bytes& bytes = {}, int32_t nSize = INT32_MIN) {
  const uint8_t* pData = bytes.empty() ? nullptr : bytes.data();
  nSize = nSize == INT32_MIN ? static_cast<int32_t>(bytes.size()) : nSize;
  if (kind == Kind::End) return OnVideoSampleEnd(g_pDecoder);
  (kind == Kind::Record ? OnVideoParameterSets : OnVideoNalUnit)(g_pDecoder, pData, nSize);
}

// As the capture side hands them over: whole (bEnds), or unit by unit without ends.
void Feed(const std::vector<Bytes>& accessUnits, bool bEnds = true) {
  Bytes record;
  for (const DeviceSample& sample : ToDeviceSamples(accessUnits)) {
    if (!sample.record.empty()) record = sample.record;
    if (!bEnds && !sample.record.empty()) Slot(Kind::Record, record);
    for (const Bytes& unit : bEnds ? std::span<const Bytes>() : sample.units)
      Slot(Kind::Units, unit);
    if (bEnds) DecodeAccessUnit(g_pDecoder, {Cat(sample.units), record, !sample.record.empty()});
  }
}

class Video : public ::testing::Test {
 protected:
  void SetUp() override {
    QuietFfmpegLogs();
    ASSERT_EQ(OpenVideoDecoder(decoder_), DecoderOpenResult::Ok);
    g_pDecoder = &decoder_;
    SetFramePublishedNotifier(Snapshot, &g_Published);
    g_Published.clear();
  }
  void TearDown() override { CloseVideoDecoder(decoder_); }
  VideoDecoder decoder_;
};

// Each picture is FFmpeg's own decode, shown once its sample ends: a still screen sends no next.
TEST_F(Video, EachPictureIsFfmpegsOwnDecodeShownAtItsSamplesEnd) {
  // Size, pictures, fps, profile, slices, still pictures, second stream, seed, key interval.
  for (const H264Options& options :
       std::vector<H264Options>{{1170, 2532, 4, 60, H264Profile::High, 4},
                                {2532, 1170, 4, 60, H264Profile::Baseline, 2},
                                {176, 144, 30, 60, H264Profile::High, 3, 6, 0, 0, 0, 0, 10},
                                {202, 98, 20, 60, H264Profile::Baseline},
                                {320, 240, 8, 60, H264Profile::High, 1, 0, 240, 352, 8}}) {
    TearDown();
    SetUp();
    const H264Stream stream = MakeH264Stream(options);
    const auto expected = ReferenceDecode(JoinAccessUnits(stream.accessUnits));
    ASSERT_EQ(stream.accessUnits.size(), expected.size()) << options.nWidth;
    for (size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(std::to_string(options.nWidth) + ", picture " + std::to_string(i));
      Feed({stream.accessUnits[i]}, false);
      EXPECT_EQ(g_Published.size(), i);
      Slot(Kind::End);
      ASSERT_EQ(g_Published.size(), i + 1);
      EXPECT_TRUE(g_Published[i] == expected[i]);
    }
  }
}

// Never 00 00 0x; the header of filler data, which ends no picture.
Bytes Unit(size_t nSize) {
  Bytes unit(nSize, 0x0C);
  for (size_t i = 1; i < nSize; ++i) unit[i] = static_cast<uint8_t>(0x10 + (i * 7 + nSize) % 0xE0);
  return unit;
}

// Record, length-prefixed units and a sample's end (a delimiter) to Annex B byte for byte; the
// malformed feed nothing. Each call drains the picture fed just before; a closed decoder, nothing.
TEST_F(Video, SlotsFeedAnnexBAndDrain) {
  struct Case {
    Kind kind;
    Bytes in, fed;
    int32_t nSize = INT32_MIN;  // INT32_MIN: in's size
  };
  const Bytes s = {0, 0, 0, 1}, a = Unit(250), b = Unit(12), c = Unit(600), d = Unit(4);
  const Bytes record = MakeAvcConfigRecord(b, d);
  const auto P = MakeLengthPrefixed;
  constexpr Kind R = Kind::Record, U = Kind::Units;
  std::vector<Case> cases = {
      {R, Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE2, 0, 250}, a, {0, 12}, b, {2, 2, 0x58}, c, {0, 4}, d}),
       Cat({s, a, s, b, s, c, s, d})},
      {R, record, Cat({s, b, s, d})},
      {R, {1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0}, {}},
      {R, Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 4}, d, {1, 0, 0}}), Cat({s, d, s})},
      {R, record, {}, -8},
      {U, Cat({P(b), P(c)}), Cat({s, b, s, c})},
      {U, Cat({P(b), P(d), {0, 0, 0, 100}, d}), Cat({s, b, s, d})},
      {U, {}, {}},
      {U, {}, {}, -5},
      {U, {}, {}, 5}};
  cases.push_back({R, Bytes(record.begin(), record.end() - 1), {}});
  // A prefix starting in the last three bytes, or a length running past the end.
  for (const Bytes& tail : {Bytes{0, 0, 9}, Bytes{0xFF, 0xFF, 0xFF, 0xFB}})
    cases.push_back({U, Cat({P(d), tail, tail.size() == 4 ? d : Bytes{}}), Cat({s, d})});
  // Last: besides the waiting picture, the end completes the one the parser holds.
  cases.push_back({Kind::End, {}, {0, 0, 0, 1, 9, 0xF0}});
  auto pending =
      MakeH264Stream({.nWidth = 48, .nHeight = 32, .nFrames = int(cases.size()) + 2}).accessUnits;
  for (Bytes& unit : pending) unit.resize(unit.size() + kPad);
  for (size_t i = 0; i < cases.size(); ++i) {
    for (size_t k = i == 0 ? 0 : i + 1; k < i + 2; ++k)
      ASSERT_TRUE(FeedDecoder(decoder_, {pending[k].data(), pending[k].size() - kPad}));
    g_Record = FeedRecord{.bOn = true};
    Slot(cases[i].kind, cases[i].in, cases[i].nSize);
    EXPECT_EQ(std::tuple(g_Record.fed, g_Record.bPaddingZero, g_Published.size()),
              std::tuple(cases[i].fed, true, i + 1 + (cases[i].kind == Kind::End)))
        << "case " << i;
  }
  // Closed (closing releases everything), then no decoder: nothing is fed or published.
  CloseVideoDecoder(decoder_);
  EXPECT_TRUE(!decoder_.open && !decoder_.frame && !decoder_.packet && !decoder_.context &&
              !decoder_.parser);
  EXPECT_FALSE(FeedDecoder(decoder_, record));
  g_Record = FeedRecord{.bOn = true};
  Feed(pending);
  g_pDecoder = nullptr;
  Feed(pending);
  DrainDecoder(decoder_);
  EXPECT_EQ(std::tuple(g_Record.fed.size(), g_Published.size()), std::tuple(0u, cases.size() + 1));
}

// Pictures above the limit are refused whatever the parameter sets say; the next stream's, in the
// call completing the last refused picture, still reach the parser. Samples without a slice never
// end an access unit in FFmpeg's parser: 40 MiB of filler stay within the allowance, then decode.
TEST_F(Video, OversizedPicturesAndSamplesWithoutASliceNeitherShowNorGrowMemory) {
  Feed(MakeH264Stream({.nWidth = 4900, .nHeight = 4900, .nFrames = 1}).accessUnits, false);
  EXPECT_EQ(g_Published.size(), 0u);
  const auto stream = MakeH264Stream({.nWidth = 64, .nHeight = 48, .nFrames = 3});
  const auto expected = ReferenceDecode(JoinAccessUnits(stream.accessUnits));
  Feed(stream.accessUnits);
  const Bytes filler = MakeLengthPrefixed(Cat({{0x0C}, Bytes(1 << 20, 0xFF), {0x80}}));
  g_Record = FeedRecord{};  // the feed recorder keeps nothing
  const auto HeapInUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };  // glibc's
  const size_t nBefore = HeapInUse();
  size_t nMost = nBefore;
  for (int i = 0; i < 40; ++i) {
    Slot(Kind::Units, filler);
    Slot(Kind::End);
    nMost = std::max(nMost, HeapInUse());
  }
  EXPECT_LE(nMost - nBefore, size_t{16} << 20);  // the video side's allowance besides pictures
  Feed(stream.accessUnits);
  ASSERT_EQ(g_Published.size(), 2 * expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), g_Published.begin()) &&
              std::equal(expected.begin(), expected.end(), g_Published.begin() + 3));
}

// Every column of every width (libswscale's SIMD works in 8-32 pixel blocks) and usual format as
// a whole-picture conversion gives it, nothing past the end; one scaler; each change alone first.
TEST(Conversion, EveryColumnOfEveryWidthAndFormat) {
  QuietFfmpegLogs();
  std::vector<std::tuple<int, int, AVPixelFormat>> shapes = {
      {64, 32, AV_PIX_FMT_YUV420P}, {64, 32, AV_PIX_FMT_NV12}, {30, 32, AV_PIX_FMT_NV12},
      {30, 18, AV_PIX_FMT_NV12},    {0, 16, AV_PIX_FMT_NV12},  {16, 0, AV_PIX_FMT_NV12}};
  std::vector<int> widths = {201, 202, 750, 828, 1080, 1125, 1170, 1179, 1242, 1284, 2532, 2556};
  for (int nWidth = 2; nWidth <= 160; nWidth += 2) widths.push_back(nWidth);
  // Planar, semi-planar, 10-bit, RGB (in bands), YUYV (not); 129 rows: stripes, a short last.
  for (AVPixelFormat format :
       {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_NV12, AV_PIX_FMT_YUV422P,
        AV_PIX_FMT_YUV444P, AV_PIX_FMT_RGB24, AV_PIX_FMT_YUV420P10LE, AV_PIX_FMT_YUYV422})
    for (int w : widths)
      if (w % 2 == 0 || format == AV_PIX_FMT_YUV444P || format == AV_PIX_FMT_RGB24)
        shapes.emplace_back(w, w % 10 == 0 || w > 160 ? 129 : 6, format);
  PictureScaler scaler;
  uint32_t nRandom = 1;  // pseudo-random pixels
  for (const auto& [w, h, format] : shapes) {
    SCOPED_TRACE(std::to_string(format) + ": " + std::to_string(w) + "x" + std::to_string(h));
    AVFrame* pFrame = av_frame_alloc();
    std::tie(pFrame->width, pFrame->height, pFrame->format) = std::tuple(w, h, format);
    std::vector<uint8_t> out = {1, 2, 3};
    if (w > 0 && h > 0) {
      ASSERT_EQ(av_frame_get_buffer(pFrame, 0), 0);
      for (AVBufferRef* p : pFrame->buf)
        if (p) std::generate(p->data, p->data + p->size, [&] { return (nRandom *= 69069u) >> 24; });
      out.assign(4u * w * h + 256, 0xEE);  // and 256 spare; alpha is 255 once written
      out.resize(4u * w * h);
      ASSERT_TRUE(ConvertFrameToBgra(scaler, pFrame, out));
      EXPECT_EQ(out, ReferenceConvert(pFrame).bgra);
      EXPECT_EQ(std::count(out.end(), out.end() + 256, 0xEE), 256);
    } else {
      EXPECT_FALSE(ConvertFrameToBgra(scaler, pFrame, out));
      EXPECT_TRUE(out.empty());
    }
    av_frame_free(&pFrame);
  }
  ReleasePictureScaler(scaler);
}

AVFrame* FlatFrame(int w, int h, const uint8_t anYuv[3], AVColorSpace space, AVColorRange range,
                   bool bJpegFormat = false) {
  AVFrame* pFrame = av_frame_alloc();
  std::tie(pFrame->width, pFrame->height, pFrame->format, pFrame->colorspace, pFrame->color_range) =
      std::tuple(w, h, bJpegFormat ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P, space, range);
  if (av_frame_get_buffer(pFrame, 0) != 0) std::abort();
  for (int p = 0; p < 3; ++p)
    std::fill_n(pFrame->data[p], pFrame->linesize[p] * (p == 0 ? h : (h + 1) / 2), anYuv[p]);
  return pFrame;
}

// The stream's matrix and range, as FFmpeg's scale filter reads them, at full size and scaled
// (the window), and what a renderer with fixed modes is told.
TEST(Conversion, FollowsTheColourDescription) {
  using M = PictureMatrix;
  const struct {
    uint8_t anYuv[3];
    AVColorSpace space;
    AVColorRange range;
    bool bJpegFormat;
    int anRgb[3];
    M matrix;
  } rows[] = {
      // BT.709 red; read as BT.601 it would be (233, 0, 2).
      {{63, 102, 240}, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, false, {255, 0, 0}, M::Bt709},
      {{63, 102, 240}, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG, false, {233, 0, 2}, M::Bt601},
      {{63, 102, 240}, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, false, {233, 0, 2}, M::Bt601},
      {{63, 102, 240}, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG, false, {243, 0, 0}, M::Other},
      // Full-range BT.709 (128, 64, 32); read as limited it would be (129, 56, 20).
      {{75, 105, 161}, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, false, {128, 64, 32}, M::Bt709},
      {{75, 105, 161}, AVCOL_SPC_BT709, AVCOL_RANGE_UNSPECIFIED, true, {128, 64, 32}, M::Bt709},
  };
  PictureScaler full, scaled;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(&row - rows));
    AVFrame* pFrame = FlatFrame(34, 18, row.anYuv, row.space, row.range, row.bJpegFormat);
    EXPECT_FALSE(ConvertPictureToSize(scaled, pFrame, 0, 11) ||
                 ConvertPictureToSize(scaled, pFrame, 20, -1));
    EXPECT_EQ(MatrixOf(pFrame), row.matrix);
    EXPECT_EQ(IsFullRange(pFrame), row.range == AVCOL_RANGE_JPEG || row.bJpegFormat);
    std::vector<uint8_t> out;
    ASSERT_TRUE(ConvertFrameToBgra(full, pFrame, out));
    ASSERT_TRUE(ConvertPictureToSize(scaled, pFrame, 20, 11));
    ASSERT_GE(scaled.nOutStride, 4 * 20);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 20; ++x)
        for (int c = 0; c < 3; ++c) {
          EXPECT_NEAR(scaled.vecOut[y * scaled.nOutStride + 4 * x + c], row.anRgb[2 - c], 3) << x;
          EXPECT_NEAR(out[4 * (y * 34 + x) + c], row.anRgb[2 - c], 3) << x << "," << y;
        }
    av_frame_free(&pFrame);
  }
  for (PictureScaler* pScaler : {&full, &scaled}) ReleasePictureScaler(*pScaler);
}

// The store takes the decoder's picture by reference and keeps it after the decoder let it go;
// a reader on another thread always finds a whole picture (under ThreadSanitizer in CI).
TEST(FrameStore, KeepsAReferenceAndReadersFindWholePictures) {
  FrameStore store;
  EXPECT_EQ(RefLatestFrame(store), nullptr);
  std::atomic<int> nBad{0}, nSeen{0};
  std::atomic<bool> bStop{false};
  std::thread reader([&] {
    while (!bStop) {
      AVFrame* pFrame = RefLatestFrame(store);
      if (pFrame == nullptr) continue;
      ++nSeen;
      const int nLast = pFrame->linesize[0] * (pFrame->height - 1) + pFrame->width - 1;
      nBad += pFrame->data[0][nLast] != pFrame->width;
      av_frame_free(&pFrame);
    }
  });
  const int anSizes[3][2] = {{16, 8}, {4, 40}, {64, 64}};
  for (int i = 0; i < 3000 || nSeen == 0; ++i) {
    const auto [w, h] = anSizes[i % 3];
    const uint8_t anYuv[3] = {static_cast<uint8_t>(w), 128, 128};
    AVFrame* pFrame = FlatFrame(w, h, anYuv, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED);
    ASSERT_TRUE(PublishFrame(store, pFrame));
    AVFrame* pShared = RefLatestFrame(store);
    EXPECT_EQ(pShared->data[0], pFrame->data[0]);  // no copy
    av_frame_free(&pFrame);
    EXPECT_EQ(pShared->data[0][0], w);
    av_frame_free(&pShared);
  }
  bStop = true;
  reader.join();
  EXPECT_EQ(nBad, 0);
}

}  // namespace
