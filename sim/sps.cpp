#include "sps.h"

namespace vsim {

namespace {

// Reads bits of the RBSP (emulation prevention bytes already removed); a read
// past the end sets bFailed and yields zeros.
struct BitReader {
  std::vector<uint8_t> rbsp;
  size_t nBit = 0;
  bool bFailed = false;
};

uint32_t Bits(BitReader& reader, int nCount) {
  uint32_t nValue = 0;
  for (int i = 0; i < nCount; ++i) {
    const size_t nByte = reader.nBit / 8;
    if (nByte >= reader.rbsp.size()) {
      reader.bFailed = true;
      return 0;
    }
    nValue = nValue << 1 | ((reader.rbsp[nByte] >> (7 - reader.nBit % 8)) & 1);
    ++reader.nBit;
  }
  return nValue;
}

uint32_t Ue(BitReader& reader) {
  int nZeros = 0;
  while (Bits(reader, 1) == 0) {
    if (reader.bFailed || ++nZeros > 31) {
      reader.bFailed = true;
      return 0;
    }
  }
  return static_cast<uint32_t>((uint64_t{1} << nZeros) - 1 + Bits(reader, nZeros));
}

int32_t Se(BitReader& reader) {
  const uint32_t nCode = Ue(reader);
  return (nCode & 1) != 0 ? static_cast<int32_t>((nCode + 1) / 2)
                          : -static_cast<int32_t>(nCode / 2);
}

std::vector<uint8_t> Unescape(std::span<const uint8_t> nal) {
  std::vector<uint8_t> rbsp;
  int nZeros = 0;
  for (uint8_t by : nal) {
    if (nZeros >= 2 && by == 3) {
      nZeros = 0;
      continue;
    }
    nZeros = by == 0 ? nZeros + 1 : 0;
    rbsp.push_back(by);
  }
  return rbsp;
}

void SkipScalingList(BitReader& reader, int nSize) {
  int nLast = 8;
  int nNext = 8;
  for (int j = 0; j < nSize && !reader.bFailed; ++j) {
    if (nNext != 0) nNext = (nLast + Se(reader) + 256) % 256;
    nLast = nNext == 0 ? nLast : nNext;
  }
}

bool HasChromaFields(uint8_t byProfile) {
  switch (byProfile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
      return true;
    default:
      return false;
  }
}

void ReadTiming(BitReader& reader, SpsInfo& info) {
  if (Bits(reader, 1) != 0) {  // aspect_ratio_info_present_flag
    if (Bits(reader, 8) == 255) Bits(reader, 32);
  }
  if (Bits(reader, 1) != 0) Bits(reader, 1);  // overscan
  if (Bits(reader, 1) != 0) {                 // video_signal_type_present_flag
    Bits(reader, 4);
    if (Bits(reader, 1) != 0) Bits(reader, 24);
  }
  if (Bits(reader, 1) != 0) {  // chroma_loc_info_present_flag
    Ue(reader);
    Ue(reader);
  }
  if (Bits(reader, 1) == 0) return;  // timing_info_present_flag
  const uint32_t nUnitsInTick = Bits(reader, 32);
  const uint32_t nTimeScale = Bits(reader, 32);
  if (!reader.bFailed && nUnitsInTick != 0) info.dFps = nTimeScale / (2.0 * nUnitsInTick);
}

}  // namespace

bool ParseSps(std::span<const uint8_t> sps, SpsInfo& info) {
  if (sps.size() < 4 || (sps[0] & 0x1F) != 7) return false;
  BitReader reader{Unescape(sps.subspan(1))};
  info = SpsInfo{};
  info.byProfile = static_cast<uint8_t>(Bits(reader, 8));
  info.byCompatibility = static_cast<uint8_t>(Bits(reader, 8));
  info.byLevel = static_cast<uint8_t>(Bits(reader, 8));
  Ue(reader);  // seq_parameter_set_id
  bool bSeparateColourPlanes = false;
  if (HasChromaFields(info.byProfile)) {
    info.nChromaFormat = Ue(reader);
    if (info.nChromaFormat == 3) bSeparateColourPlanes = Bits(reader, 1) != 0;
    info.nBitDepthLumaMinus8 = Ue(reader);
    info.nBitDepthChromaMinus8 = Ue(reader);
    Bits(reader, 1);  // qpprime_y_zero_transform_bypass_flag
    if (Bits(reader, 1) != 0) {
      const int nLists = info.nChromaFormat != 3 ? 8 : 12;
      for (int i = 0; i < nLists; ++i) {
        if (Bits(reader, 1) != 0) SkipScalingList(reader, i < 6 ? 16 : 64);
      }
    }
  }
  Ue(reader);  // log2_max_frame_num_minus4
  const uint32_t nPocType = Ue(reader);
  if (nPocType == 0) {
    Ue(reader);
  } else if (nPocType == 1) {
    Bits(reader, 1);
    Se(reader);
    Se(reader);
    const uint32_t nCycle = Ue(reader);
    for (uint32_t i = 0; i < nCycle && !reader.bFailed; ++i) Se(reader);
  }
  Ue(reader);       // max_num_ref_frames
  Bits(reader, 1);  // gaps_in_frame_num_value_allowed_flag
  const uint32_t nWidthMbs = Ue(reader) + 1;
  const uint32_t nHeightMapUnits = Ue(reader) + 1;
  const uint32_t nFrameMbsOnly = Bits(reader, 1);
  if (nFrameMbsOnly == 0) Bits(reader, 1);
  Bits(reader, 1);  // direct_8x8_inference_flag
  uint32_t nCrop[4] = {};
  if (Bits(reader, 1) != 0) {
    for (uint32_t& n : nCrop) n = Ue(reader);
  }
  if (Bits(reader, 1) != 0) ReadTiming(reader, info);
  if (reader.bFailed) return false;

  const uint32_t nChroma = bSeparateColourPlanes ? 0 : info.nChromaFormat;
  const uint32_t nSubWidth = nChroma == 1 || nChroma == 2 ? 2 : 1;
  const uint32_t nSubHeight = nChroma == 1 ? 2 : 1;
  const uint32_t nCropX = nChroma == 0 ? 1 : nSubWidth;
  const uint32_t nCropY = (nChroma == 0 ? 1 : nSubHeight) * (2 - nFrameMbsOnly);
  const uint64_t qwWidth = uint64_t{nWidthMbs} * 16;
  const uint64_t qwHeight = uint64_t{nHeightMapUnits} * 16 * (2 - nFrameMbsOnly);
  const uint64_t qwCropX = uint64_t{nCropX} * (nCrop[0] + uint64_t{nCrop[1]});
  const uint64_t qwCropY = uint64_t{nCropY} * (nCrop[2] + uint64_t{nCrop[3]});
  if (qwCropX >= qwWidth || qwCropY >= qwHeight) return false;
  info.nWidth = static_cast<uint32_t>(qwWidth - qwCropX);
  info.nHeight = static_cast<uint32_t>(qwHeight - qwCropY);
  return true;
}

std::vector<uint8_t> MakeConfigRecord(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                                      const SpsInfo& info) {
  std::vector<uint8_t> record = {1, info.byProfile, info.byCompatibility, info.byLevel, 0xFF, 0xE1};
  record.push_back(static_cast<uint8_t>(sps.size() >> 8));
  record.push_back(static_cast<uint8_t>(sps.size()));
  record.insert(record.end(), sps.begin(), sps.end());
  record.push_back(1);
  record.push_back(static_cast<uint8_t>(pps.size() >> 8));
  record.push_back(static_cast<uint8_t>(pps.size()));
  record.insert(record.end(), pps.begin(), pps.end());
  const uint8_t byProfile = info.byProfile;
  if (byProfile == 100 || byProfile == 110 || byProfile == 122 || byProfile == 144) {
    record.push_back(static_cast<uint8_t>(0xFC | (info.nChromaFormat & 3)));
    record.push_back(static_cast<uint8_t>(0xF8 | (info.nBitDepthLumaMinus8 & 7)));
    record.push_back(static_cast<uint8_t>(0xF8 | (info.nBitDepthChromaMinus8 & 7)));
    record.push_back(0);
  }
  return record;
}

}  // namespace vsim
