#include "video/session_callbacks.h"

#include <gtest/gtest.h>

#include "video/video_decoder.h"

namespace {

TEST(SessionCallbacks, InstallWritesVideoHandlersAndNoOpsElsewhere) {
  SessionCallbacks table;
  InstallSessionCallbacks(table);
  EXPECT_TRUE(table.bInstalled);
  EXPECT_EQ(table.onVideoParameterSets, &OnVideoParameterSets);
  EXPECT_EQ(table.onVideoNalUnit, &OnVideoNalUnit);
  EXPECT_EQ(table.onAudioFormat, (&NoOpCallback<uint32_t, uint32_t, int32_t, int32_t>));
  EXPECT_EQ(table.onAudioData, (&NoOpCallback<const uint8_t*, int32_t>));
  EXPECT_EQ(table.onStreamStart, &NoOpCallback<>);
  EXPECT_EQ(table.onDeviceLost, &NoOpCallback<>);
  EXPECT_EQ(table.onReserved, &NoOpCallback<>);
  EXPECT_EQ(table.onLog, &NoOpCallback<const char*>);
  // The no-op slots accept their arguments and do nothing.
  const uint8_t abyData[2] = {1, 2};
  table.onAudioFormat(nullptr, 16, 2, 48000, 1);
  table.onAudioData(nullptr, abyData, 2);
  table.onStreamStart(nullptr);
  table.onDeviceLost(nullptr);
  table.onReserved(nullptr);
  table.onLog(nullptr, "line");
}

void RecordingStreamStart(void*) {}

TEST(SessionCallbacks, InstalledTableIsLeftUnchanged) {
  SessionCallbacks table;
  table.onStreamStart = RecordingStreamStart;
  table.bInstalled = true;
  InstallSessionCallbacks(table);
  EXPECT_EQ(table.onStreamStart, &RecordingStreamStart);
  EXPECT_EQ(table.onVideoParameterSets, nullptr);
  EXPECT_EQ(table.onVideoNalUnit, nullptr);
}

TEST(SessionCallbacks, VideoSlotsWithoutCurrentDecoderDoNothing) {
  VideoDecoder* pSaved = g_pCurrentDecoder;
  g_pCurrentDecoder = nullptr;
  const uint8_t abyRecord[] = {1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 1, 0x67, 1, 0, 1, 0x68};
  const uint8_t abyUnit[] = {0, 0, 0, 1, 0x65};
  OnVideoParameterSets(nullptr, abyRecord, sizeof(abyRecord));
  OnVideoNalUnit(nullptr, abyUnit, sizeof(abyUnit));
  DrainDecoder();
  g_pCurrentDecoder = pSaved;
}

}  // namespace
