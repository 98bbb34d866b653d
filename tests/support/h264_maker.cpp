#include "support/h264_maker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace vtest {

namespace {

std::vector<Bytes> SplitAnnexB(std::span<const uint8_t> annexB) {
  std::vector<Bytes> units;
  for (size_t i = 0; i < annexB.size(); ++i) {
    if (i + 2 < annexB.size() && annexB[i] == 0 && annexB[i + 1] == 0 && annexB[i + 2] == 1) {
      units.emplace_back();
      i += 2;
    } else if (!units.empty()) {
      units.back().push_back(annexB[i]);
    }
  }
  for (Bytes& unit : units)  // without a 4-byte start code's zero, or trailing zero bytes
    while (!unit.empty() && unit.back() == 0) unit.pop_back();
  return units;
}

int NalType(std::span<const uint8_t> unit) {
  return unit.empty() ? -1 : (unit[0] & 0x1F);
}

// Grows, then copies: GCC 12 at -O3 takes an insert of a short list for an
// overflow of the vector it grows.
void Append(Bytes& out, std::span<const uint8_t> bytes) {
  const size_t nOld = out.size();
  out.resize(nOld + bytes.size());
  if (!bytes.empty()) std::memcpy(out.data() + nOld, bytes.data(), bytes.size());
}

}  // namespace

H264Stream MakeH264Stream(const H264Options& o) {
  Bytes annexB;
  // x264 over the moving test pattern (started nSeed frames in), a delimiter before every
  // picture so that the output splits into access units; then the second stream, if any.
  for (int nPart = 0; nPart < (o.nSecondFrames > 0 ? 2 : 1); ++nPart) {
    const int nFrames = nPart == 0 ? o.nFrames : o.nSecondFrames;
    const int nStill = nPart == 0 ? o.nStillFrames : 0;
    char szCommand[1024];
    std::snprintf(
        szCommand, sizeof szCommand,
        "ffmpeg -v error -nostdin -f lavfi -i 'testsrc2=s=%dx%d:r=%d,trim=start_frame=%u,trim="
        "end_frame=%d,tpad=stop_mode=clone:stop=%d,format=yuv420p' -c:v libx264 -threads 1 -preset"
        " veryfast -tune zerolatency -profile:v %s -g %d -x264-params scenecut=0:aud=1:slices=%d "
        "-f h264 -",
        nPart == 0 ? o.nWidth : o.nSecondWidth, nPart == 0 ? o.nHeight : o.nSecondHeight, o.nFps,
        (o.nSeed + nPart) % 97, nFrames - nStill, nStill,
        o.profile == H264Profile::Baseline ? "baseline" : "high",
        o.nKeyInterval > 0 ? o.nKeyInterval : nFrames + 1, o.nSlices);
    FILE* pPipe = popen(szCommand, "r");
    for (int c; pPipe && (c = std::fgetc(pPipe)) != EOF;) annexB.push_back(uint8_t(c));
    if (pPipe == nullptr || pclose(pPipe) != 0) std::abort();  // ffmpeg has said why
  }
  H264Stream stream;
  for (const Bytes& unit : SplitAnnexB(annexB)) {
    if (NalType(unit) == 9 || stream.accessUnits.empty()) stream.accessUnits.emplace_back();
    Bytes& accessUnit = stream.accessUnits.back();
    accessUnit.insert(accessUnit.end(), {0, 0, 0, 1});
    accessUnit.insert(accessUnit.end(), unit.begin(), unit.end());
  }
  return stream;
}

Bytes JoinAccessUnits(const std::vector<Bytes>& accessUnits) {
  Bytes joined;
  for (const Bytes& unit : accessUnits) joined.insert(joined.end(), unit.begin(), unit.end());
  return joined;
}

Bytes MakeAvcConfigRecord(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                          bool bHighExtension) {
  // Version 1, profile, compatibility and level from the SPS, 4-byte lengths, 1 SPS.
  const uint8_t abyHead[] = {
      1, sps[1], sps[2], sps[3], 0xFF, 0xE1, uint8_t(sps.size() >> 8), uint8_t(sps.size())};
  const uint8_t abyPpsHead[] = {1, uint8_t(pps.size() >> 8), uint8_t(pps.size())};
  const uint8_t abyHighExtension[] = {0xFD, 0xF8, 0xF8, 0};
  Bytes record;
  Append(record, abyHead);
  Append(record, sps);
  Append(record, abyPpsHead);
  Append(record, pps);
  if (bHighExtension) Append(record, abyHighExtension);
  return record;
}

Bytes MakeLengthPrefixed(std::span<const uint8_t> unit) {
  const size_t n = unit.size();
  const uint8_t abyPrefix[] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
  Bytes prefixed;
  Append(prefixed, abyPrefix);
  Append(prefixed, unit);
  return prefixed;
}

std::vector<DeviceSample> ToDeviceSamples(const std::vector<Bytes>& accessUnits) {
  std::vector<DeviceSample> samples;
  for (const Bytes& accessUnit : accessUnits) {
    DeviceSample& sample = samples.emplace_back();
    Bytes sps, pps;
    for (const Bytes& unit : SplitAnnexB(accessUnit)) {
      const int nType = NalType(unit);
      if (nType == 7) sps = unit;
      if (nType == 8) pps = unit;
      if (nType < 7 || nType > 9) sample.units.push_back(MakeLengthPrefixed(unit));
    }
    if (!sps.empty() && !pps.empty()) sample.record = MakeAvcConfigRecord(sps, pps, sps[1] >= 100);
  }
  return samples;
}

void QuietFfmpegLogs() {
  av_log_set_level(AV_LOG_ERROR);
}

bool WriteFile(const std::string& szPath, std::span<const uint8_t> bytes) {
  FILE* pFile = std::fopen(szPath.c_str(), "wb");
  if (pFile == nullptr) return false;
  const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
  return std::fclose(pFile) == 0 && bWritten;
}

}  // namespace vtest
