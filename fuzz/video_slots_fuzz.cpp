// H.264 as the device sends it, on arbitrary bytes: a configuration record as
// ExtractParameterSets finds it in an extensions block, and as the raw bytes
// of the first piece, then access units, through the H.264 walks and into the
// real decoder. Every piece is handed over in a buffer of exactly its size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "avc/access_unit.h"
#include "avc/avc_record.h"
#include "avc/avc_units.h"
#include "capture/sample_buffer.h"
#include "fuzz_device.h"
#include "video/video_decoder.h"

namespace {

// The walks agree with each other: a record read whole gives units, and the
// Annex B form of the whole units is as long as they are.
void CheckWalks(const std::vector<uint8_t>& vecBytes) {
  std::vector<std::span<const uint8_t>> units;
  std::vector<uint8_t> vecOut;
  if (ReadRecordUnits(vecBytes, units) != AppendRecordUnits(vecBytes, true, vecOut)) abort();
  if (RecordWithFourByteLengths(vecBytes).empty() == !units.empty()) abort();
  vecOut.clear();
  if (AppendAnnexB(vecBytes, vecOut) != WholeUnitsSize(vecBytes)) abort();
  if (HasIdrSlice(vecBytes) && vecOut.empty()) abort();
}

}  // namespace

// Input pieces (see SplitFuzzInput): the first is an extensions block, each
// later one a sample's data as the device sends it, length prefixes included.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  VideoDecoder* pDecoder = PrepareFuzzDecoder();
  const auto pieces = SplitFuzzInput({pData, nSize});
  if (pieces.empty()) return 0;

  const std::vector<uint8_t> vecExtensions(pieces[0].begin(), pieces[0].end());
  CheckWalks(vecExtensions);
  CMSampleBuf sampleBuf;
  sampleBuf.FormatDescription.Extensions = vecExtensions;
  std::vector<uint8_t> vecRecord;
  if (ExtractParameterSets(sampleBuf)) {
    const auto record = sampleBuf.FormatDescription.SPS_and_PPS;
    vecRecord.assign(record.begin(), record.end());
  }
  for (size_t i = 1; i < pieces.size(); ++i) {
    const std::vector<uint8_t> vecUnits(pieces[i].begin(), pieces[i].end());
    CheckWalks(vecUnits);
    AccessUnit unit;
    unit.units = vecUnits;
    unit.record = vecRecord;
    unit.bNewRecord = i == 1 && !vecRecord.empty();
    unit.bKeyframe = HasIdrSlice(vecUnits);
    DecodeAccessUnit(pDecoder, unit);
  }
  return 0;
}
