// One recording on disk through libavformat: the device's H.264 copied as it
// is and its sound as 16-bit PCM, in Matroska or fragmented MP4 by the file
// name. Everything written is flushed at least once a second, so a program
// that is killed leaves a file that plays up to about then.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

extern "C" {
struct AVFormatContext;
struct AVStream;
struct AVPacket;
}

struct RecordAudioFormat {
  int32_t nRate = 0;
  int32_t nChannels = 0;
  bool operator==(const RecordAudioFormat&) const = default;
};

struct MediaFile {
  AVFormatContext* pFormat = nullptr;
  AVStream* pVideo = nullptr;
  AVStream* pAudio = nullptr;  // null: the file has no sound
  AVPacket* pPacket = nullptr;
  std::string szPath;
  std::vector<uint8_t> vecRecord;  // the parameter sets now in force in the file
  RecordAudioFormat audio;
  int64_t i64StartUs = 0;         // the session time at the file's 0
  int64_t i64LastVideoPts = -1;   // in the video stream's time base
  int64_t i64AudioEndFrames = 0;  // where the next sound goes, in sample frames
  int64_t i64LastVideoUs = 0;     // the last picture's time on the session's line
  int32_t nWidth = 0;             // the picture size in the header
  int32_t nHeight = 0;
  bool bMp4 = false;
  int nError = 0;  // the first write error (AVERROR), 0: none
};

// Sound closer than this to where it should go is put right after the sound
// before it, so that PCM stays one unbroken run; a larger gap is filled with
// silence, a larger overlap cut off.
inline constexpr int64_t kAudioSnapUs = 20000;

// Whether the name asks for MP4 (.mp4, .m4v, .mov); anything else is Matroska.
bool IsMp4Name(const std::string& szPath);

// Opens the file (made empty and reserved beforehand) and writes its header: the video stream from
// the configuration record (with the keyframe's size), the sound when pAudio is given (16-bit).
// i64StartUs is the session time of the file's 0. False, with the file closed and szError saying
// why, when it cannot be made.
bool OpenMediaFile(MediaFile& file, const std::string& szPath, std::span<const uint8_t> record,
                   int32_t nWidth, int32_t nHeight, const RecordAudioFormat* pAudio,
                   int64_t i64StartUs, std::string& szError);

// One picture at session time i64TimeUs, written at once with its own time
// (a still screen leaves a gap, which MP4's fragments keep too). A time at or before the last one
// becomes the last + 1 (one tick of the stream's time base). A keyframe under parameter sets other
// than the file's carries them in front of it.
bool WriteVideo(MediaFile& file, std::span<const uint8_t> picture, bool bKeyframe,
                std::span<const uint8_t> record, int64_t i64TimeUs);

// Sound at session time i64TimeUs, in the file's format (whole frames).
bool WriteAudio(MediaFile& file, std::span<const uint8_t> samples, int64_t i64TimeUs);

// Silence up to session time i64UntilUs, so the last picture holds its place
// while the device sends nothing (nothing without a sound stream).
bool FillSilence(MediaFile& file, int64_t i64UntilUs);

// Writes what the muxer holds and flushes it to the disk.
bool FlushMediaFile(MediaFile& file);

// Silence up to i64EndUs, the trailer, and closes. False when anything
// failed; the file is closed either way.
bool CloseMediaFile(MediaFile& file, int64_t i64EndUs);

std::string MediaErrorText(int nError);
