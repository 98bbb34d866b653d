// The two video slots behind the receive path: a configuration record as
// ExtractParameterSets finds it in an extensions block, then length-prefixed
// units, into the real decoder. Every piece is handed over in a buffer of
// exactly its size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "capture/sample_buffer.h"
#include "fuzz_device.h"
#include "video/video_decoder.h"

// Input pieces (see SplitFuzzInput): the first is an extensions block, each
// later one a NAL unit as the device sends it, length prefix included.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  VideoDecoder* pDecoder = PrepareFuzzDecoder();
  const auto pieces = SplitFuzzInput({pData, nSize});
  if (pieces.empty()) return 0;

  const std::vector<uint8_t> vecExtensions(pieces[0].begin(), pieces[0].end());
  CMSampleBuf sampleBuf;
  sampleBuf.FormatDescription.Extensions = vecExtensions;
  if (ExtractParameterSets(sampleBuf)) {
    const auto record = sampleBuf.FormatDescription.SPS_and_PPS;
    const std::vector<uint8_t> vecRecord(record.begin(), record.end());
    OnVideoParameterSets(pDecoder, vecRecord.data(), static_cast<int32_t>(vecRecord.size()));
  }
  for (size_t i = 1; i < pieces.size(); ++i) {
    const std::vector<uint8_t> vecUnit(pieces[i].begin(), pieces[i].end());
    OnVideoNalUnit(pDecoder, vecUnit.data(), static_cast<int32_t>(vecUnit.size()));
  }
  OnVideoSampleEnd(pDecoder);
  return 0;
}
