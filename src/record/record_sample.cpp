#include "record/record_sample.h"

void PrerollAdd(RecordPreroll& preroll, const RecordSample& sample,
                const std::vector<uint8_t>& vecRecord) {
  if (sample.kind == MediaKind::Video && sample.bKeyframe) {
    preroll.samples.clear();
    preroll.nBytes = 0;
    preroll.bOverflowed = false;
    preroll.vecRecord = vecRecord;
  } else if (preroll.samples.empty()) {
    return;
  }
  if (preroll.nBytes + sample.vecData.size() > preroll.nMaxBytes) {
    PrerollBreak(preroll);
    preroll.bOverflowed = true;
    return;
  }
  preroll.samples.push_back(sample);
  preroll.nBytes += sample.vecData.size();
}

void PrerollBreak(RecordPreroll& preroll) {
  preroll.samples.clear();
  preroll.nBytes = 0;
}
