#include "sample_buffers.h"

#include <cmath>

#include "host_packets.h"

namespace vsim {

namespace {

constexpr uint32_t kNanoseconds = 1000000000;
constexpr uint32_t kAudioRate = 48000;
constexpr uint32_t kBytesPerFrame = 4;
constexpr double kPi = 3.14159265358979323846;

void PutTime(Bytes& out, int64_t qwValue, uint32_t nScale) {
  PutU64(out, static_cast<uint64_t>(qwValue));
  PutU32(out, nScale);
  PutU32(out, 1);  // valid
  PutU64(out, 0);  // epoch
}

Bytes U32Item(uint32_t nTag, uint32_t nValue) {
  Bytes payload;
  PutU32(payload, nValue);
  return Item(nTag, payload);
}

Bytes MediaType(uint32_t nType) {
  return U32Item(FourCC("mdia"), nType);
}

}  // namespace

Bytes VideoFormatDescription(const ParameterSets& format) {
  Bytes fdsc;
  const size_t nStart = BeginItem(fdsc, FourCC("fdsc"));
  PutBytes(fdsc, MediaType(FourCC("vide")));
  Bytes size;
  PutU32(size, format.nWidth);
  PutU32(size, format.nHeight);
  PutBytes(fdsc, Item(FourCC("vdim"), size));
  PutBytes(fdsc, U32Item(FourCC("codc"), FourCC("avc1")));
  // The record sits a level down in the extensions, behind another entry, so
  // that a host must search for it rather than expect it at a fixed place.
  const Bytes atoms = Dictionary({Entry("avcC", DataValue(format.vecRecord))});
  const Bytes extensions = Dictionary(
      {Entry("FormatName", StringValue("H.264")), Entry("SampleDescriptionExtensionAtoms", atoms)});
  PutBytes(fdsc, Item(FourCC("extn"), extensions));
  EndItem(fdsc, nStart);
  return fdsc;
}

Bytes VideoSamplePacket(uint64_t qwClockRef, const AccessUnit& unit, const ParameterSets* pFormat,
                        int64_t qwPtsNs, int64_t qwDurationNs) {
  Bytes sbuf;
  const size_t nStart = BeginItem(sbuf, FourCC("sbuf"));
  Bytes time;
  PutTime(time, qwPtsNs, kNanoseconds);
  PutBytes(sbuf, Item(FourCC("opts"), time));
  Bytes timing;
  PutTime(timing, qwDurationNs, kNanoseconds);
  PutTime(timing, qwPtsNs, kNanoseconds);
  PutTime(timing, qwPtsNs, kNanoseconds);
  PutBytes(sbuf, Item(FourCC("stia"), timing));
  if (pFormat != nullptr) PutBytes(sbuf, VideoFormatDescription(*pFormat));
  PutBytes(sbuf, Item(FourCC("sdat"), unit.vecData));
  PutBytes(sbuf, U32Item(FourCC("nsmp"), 1));
  PutBytes(sbuf, U32Item(FourCC("ssiz"), static_cast<uint32_t>(unit.vecData.size())));
  PutBytes(sbuf, Item(FourCC("sary"), Dictionary({})));
  EndItem(sbuf, nStart);
  return AsynPacket(qwClockRef, FourCC("feed"), sbuf);
}

Bytes AudioSamples(uint64_t qwFirstFrame, uint32_t nFrames, uint32_t nToneHz) {
  Bytes samples(size_t{nFrames} * kBytesPerFrame, 0);
  if (nToneHz == 0) return samples;
  for (uint32_t i = 0; i < nFrames; ++i) {
    // The phase from whole numbers, so hours of frames lose no precision.
    const uint64_t qwCycle = (qwFirstFrame + i) * nToneHz % kAudioRate;
    const double dValue = 8192.0 * std::sin(2.0 * kPi * static_cast<double>(qwCycle) / kAudioRate);
    const auto nValue = static_cast<uint16_t>(static_cast<int16_t>(std::lround(dValue)));
    for (size_t nByte = 0; nByte < kBytesPerFrame; nByte += 2) {
      samples[i * kBytesPerFrame + nByte] = static_cast<uint8_t>(nValue & 0xFF);
      samples[i * kBytesPerFrame + nByte + 1] = static_cast<uint8_t>(nValue >> 8);
    }
  }
  return samples;
}

Bytes AudioSamplePacket(uint64_t qwClockRef, uint64_t qwFirstFrame, uint32_t nFrames, bool bFormat,
                        uint32_t nToneHz, int64_t i64TimeErrorFrames) {
  Bytes sbuf;
  const size_t nStart = BeginItem(sbuf, FourCC("sbuf"));
  Bytes time;
  PutTime(time, static_cast<int64_t>(qwFirstFrame + static_cast<uint64_t>(i64TimeErrorFrames)),
          kAudioRate);
  PutBytes(sbuf, Item(FourCC("opts"), time));
  if (bFormat) {
    Bytes fdsc;
    const size_t nFormat = BeginItem(fdsc, FourCC("fdsc"));
    PutBytes(fdsc, MediaType(FourCC("soun")));
    PutBytes(fdsc, Item(FourCC("asbd"), AudioStreamDescription()));
    EndItem(fdsc, nFormat);
    PutBytes(sbuf, fdsc);
  }
  PutBytes(sbuf, U32Item(FourCC("nsmp"), nFrames));
  PutBytes(sbuf, U32Item(FourCC("ssiz"), kBytesPerFrame));
  PutBytes(sbuf, Item(FourCC("sdat"), AudioSamples(qwFirstFrame, nFrames, nToneHz)));
  EndItem(sbuf, nStart);
  return AsynPacket(qwClockRef, FourCC("eat!"), sbuf);
}

}  // namespace vsim
