// The session's time line, the pre-roll's bound, file names and folders.
#include "record/time_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "record/file_names.h"
#include "record/record_sample.h"

namespace {

constexpr uint32_t kNs = 1000000000;  // the device's video clock: nanoseconds
constexpr uint32_t kAudio = 48000;    // its sound clock: sample frames
constexpr int64_t kMs = 1000000;      // a millisecond in nanoseconds
constexpr int64_t kMaxI64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMinI64 = std::numeric_limits<int64_t>::min();

// One step: a sample (or, with bReconnect, a new connection before it).
struct Step {
  MediaKind kind;
  int64_t i64Value;
  uint32_t nScale;
  uint64_t qwTicks;
  int64_t i64ExpectedUs;
  bool bReconnect = false;
};

// Pictures every 40 ms whose device times agree with their arrival, but
// sample nWrong's (and with bStep every later one's) is off by i64ByNs.
std::vector<Step> Pictures(int nWrong, int64_t i64ByNs, bool bStep, int nCount = 7) {
  std::vector<Step> steps;
  for (int i = 0; i < nCount; ++i) {
    const bool bOff = i == nWrong || (bStep && i > nWrong);
    const int64_t i64Ns = SaturatedAdd(i * 40 * kMs + 1000 * kMs, bOff ? i64ByNs : 0);
    steps.push_back({MediaKind::Video, i64Ns, kNs, 500 + 40 * uint64_t(i), i * 40000});
  }
  return steps;
}

TEST(TimeLine, TrustsDeviceTimesAsFarAsTheyAgreeWithArrival) {
  const auto V = MediaKind::Video;
  const auto A = MediaKind::Audio;
  std::vector<std::pair<const char*, std::vector<Step>>> cases = {
      {"device times smooth the arrival's jitter; a constant lateness is slewed away",
       {{V, 0, kNs, 100, 0},
        {V, 40 * kMs, kNs, 150, 40000},  // 10 ms late: kept, offset +100 us
        {V, 80 * kMs, kNs, 181, 80100},  // 0.9 ms late: kept; sound starts at its arrival
        {A, 4800, kAudio, 190, 90000},
        {A, 4800 + 960, kAudio, 210, 110000}}},
      {"a sample without a time lies at its arrival", {{V, 0, kNs, 100, 0}, {V, 0, 0, 133, 33000}}},
      {"a still screen's gap is kept", {{V, 0, kNs, 0, 0}, {V, 30000 * kMs, kNs, 30000, 30000000}}},
      {"a reconnect starts both clocks anew after the time without a device",
       {{V, 5000 * kMs, kNs, 0, 0},
        {A, 48000, kAudio, 1000, 1000000},
        {V, 0, kNs, 4000, 4000000, true},
        {V, 40 * kMs, kNs, 4041, 4040000},
        {A, 999 * 48000, kAudio, 4050, 4050000}}},
      {"two disagreeing samples that disagree with each other are no step",
       {{V, 0, kNs, 0, 0},
        {V, 3040 * kMs, kNs, 40, 40000},
        {V, -2920 * kMs, kNs, 80, 80000},
        {V, 3120 * kMs, kNs, 120, 120000},
        {V, 161 * kMs, kNs, 160, 161000}}},
      {"a sound clock step is followed while the pictures keep theirs",
       {{V, 0, kNs, 0, 0},
        {A, 0, kAudio, 0, 0},
        {A, 960 + 3 * 48000, kAudio, 20, 20000},
        {A, 1920 + 3 * 48000, kAudio, 40, 40000},
        {A, 2880 + 3 * 48000, kAudio, 60, 60000},
        {V, 81 * kMs, kNs, 80, 81000},
        {A, 3840 + 3 * 48000, kAudio, 81, 80000}}},
  };
  // One outlier of any size and sign moves only itself; a step is followed by
  // arrival at once and by its new offset from the third sample on.
  for (const int64_t i64By : {kMaxI64, kMinI64})
    cases.push_back({"one outlier", Pictures(2, i64By, false)});
  for (const int64_t i64By : {3000 * kMs, -3000 * kMs, 600 * kMs, -1100 * kMs}) {
    cases.push_back({"one outlier", Pictures(2, i64By, false)});
    std::vector<Step> step = Pictures(2, i64By, true);
    step.back().qwTicks += 3;  // from the new offset on, the device's time again
    cases.push_back({"a step", step});
  }
  {
    std::vector<Step> inside = Pictures(2, 400 * kMs, false, 3);
    inside[2].i64ExpectedUs += 400000;  // within what a transport may do: kept
    cases.push_back({"a small error is believed", inside});
  }
  for (const auto& [szCase, steps] : cases) {
    SessionTimeLine line;
    for (size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      if (step.bReconnect) TimeLineNewConnection(line);
      EXPECT_EQ(TimeLinePlace(line, step.kind, step.i64Value, step.nScale, step.qwTicks),
                step.i64ExpectedUs)
          << szCase << ", step " << i;
    }
  }
}

// Device times and ticks at the ends of their ranges (run under UBSan).
TEST(TimeLine, ExtremesNeitherOverflowNorStick) {
  EXPECT_EQ(std::vector({DeviceMicros(kMaxI64, 1), DeviceMicros(kMinI64, 1),
                         DeviceMicros(kMaxI64, 0xFFFFFFFF), DeviceMicros(-1, 3),
                         DeviceMicros(48000 * 5 + 24, 48000), DeviceMicros(1, 0xFFFFFFFF),
                         DeviceMicros(kMinI64 + 1, 1000)}),
            std::vector({kMaxI64, kMinI64, int64_t{2147483648499999}, int64_t{-333333},
                         int64_t{5000500}, int64_t{0}, kMinI64}));
  EXPECT_EQ(
      std::vector({SaturatedAdd(kMaxI64, 1), SaturatedAdd(kMinI64, -1), SaturatedSub(kMinI64, 1),
                   SaturatedSub(kMaxI64, -1), SaturatedSub(-5, -7)}),
      std::vector({kMaxI64, kMinI64, kMinI64, kMaxI64, int64_t{2}}));

  SessionTimeLine line;
  const uint64_t qwMaxTicks = std::numeric_limits<uint64_t>::max();
  EXPECT_EQ(TimeLinePlace(line, MediaKind::Video, kMinI64, 1, 0), 0);
  for (const int64_t i64Value : {kMaxI64, kMinI64, kMaxI64})
    EXPECT_EQ(TimeLinePlace(line, MediaKind::Video, i64Value, 1, 1000), 1000000);
  EXPECT_EQ(TimeLinePlace(line, MediaKind::Audio, kMaxI64, 1, qwMaxTicks), kMaxI64);
  EXPECT_EQ(TimeLinePlace(line, MediaKind::Audio, kMinI64, 1, qwMaxTicks), kMaxI64);
  EXPECT_EQ(TimeLineNow(line, qwMaxTicks), kMaxI64);
  EXPECT_EQ(TimeLineNow(SessionTimeLine{}, 500), 0);
}

// Kept from the last keyframe (with the record it came with) while within the
// bound; past it, or a keyframe larger than it, nothing until the next keyframe.
TEST(Preroll, KeepsFromTheLastKeyframeWithinItsBound) {
  const auto V = MediaKind::Video, A = MediaKind::Audio;
  // A sample's kind, keyframe, bytes and record; then what is kept: samples, bytes, overflowed.
  const std::tuple<MediaKind, bool, size_t, uint8_t, size_t, size_t, bool> steps[] = {
      {A, false, 10, 1, 0, 0, false},     {V, false, 10, 1, 0, 0, false},
      {V, true, 400, 1, 1, 400, false},   {A, false, 100, 1, 2, 500, false},
      {V, false, 500, 1, 3, 1000, false}, {V, false, 1, 1, 0, 0, true},
      {V, false, 10, 1, 0, 0, true},      {V, true, 20, 2, 1, 20, false},
      {V, true, 1001, 2, 0, 0, true}};
  RecordPreroll preroll;
  preroll.nMaxBytes = 1000;
  for (const auto& [kind, bKeyframe, nBytes, nRecord, nKept, nKeptBytes, bOverflowed] : steps) {
    const std::vector<uint8_t> record{nRecord};
    PrerollAdd(preroll, {kind, 0, bKeyframe, std::vector<uint8_t>(nBytes)}, record);
    EXPECT_EQ(std::tuple(preroll.samples.size(), preroll.nBytes, preroll.bOverflowed),
              std::tuple(nKept, nKeptBytes, bOverflowed))
        << nBytes;
    EXPECT_TRUE(nKept == 0 || preroll.vecRecord == record) << nBytes;
  }
}

// Named by the local date and time; a name on the disk is never reused.
TEST(FileNames, DateAndTimeAndNeverAnExistingFile) {
  const auto name = [](int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
    std::tm local{};
    std::tie(local.tm_year, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min,
             local.tm_sec) = std::tuple(2026 - 1900, nMonth, nDay, nHour, nMinute, nSecond);
    return TimestampedName(local);
  };
  EXPECT_EQ(name(11, 7, 10, 15, 30), "Veltrona 2026-12-07 10.15.30");
  EXPECT_EQ(name(0, 2, 3, 4, 5), "Veltrona 2026-01-02 03.04.05");

  const auto dir = std::filesystem::temp_directory_path() / "veltrona-names";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "e.x");
  for (const char* szName : {"a.png", "a (2).png", "b", "e.x/c"})
    std::fclose(std::fopen((dir / szName).string().c_str(), "w"));
  const std::pair<const char*, const char*> cases[] = {
      {"new.png", "new.png"},
      {"a.png", "a (3).png"},
      {"b", "b (2)"},
      {"e.x/c", "e.x/c (2)"},  // the dot of a folder is not an extension
  };
  for (const auto& [szAsked, szGiven] : cases)
    EXPECT_EQ(UniquePath((dir / szAsked).string()), (dir / szGiven).string());
  // Made there and then: the next one asking for the name gets the next number.
  std::string szError;
  EXPECT_EQ(CreateUniqueFile((dir / "a.png").string(), szError), (dir / "a (3).png").string());
  EXPECT_EQ(CreateUniqueFile((dir / "a.png").string(), szError), (dir / "a (4).png").string());
  EXPECT_EQ(CreateUniqueFile((dir / "none" / "x").string(), szError), "");
  EXPECT_FALSE(szError.empty());
  const std::string szFolder = dir.string();
  EXPECT_EQ(RecordPathFor(szFolder, "V.mkv"), JoinPath(szFolder, "V.mkv"));
  EXPECT_EQ(RecordPathFor(szFolder + "/a.png", "V.mkv"), szFolder + "/a.png");
  EXPECT_EQ(RecordPathFor(szFolder + "/new.mkv", "V.mkv"), szFolder + "/new.mkv");
  std::filesystem::remove_all(dir);
  EXPECT_EQ(FileNameOf("/home/u/Vídeos/Veltrona 1.mkv"), "Veltrona 1.mkv");
  EXPECT_EQ(FileNameOf("C:\\Users\\u\\Videos\\a.mp4"), "a.mp4");
  EXPECT_EQ(FileNameOf("a.mp4"), "a.mp4");
  EXPECT_EQ(JoinPath("", "a"), "a");
  EXPECT_EQ(JoinPath("/x/", "a"), "/x/a");
}

}  // namespace
