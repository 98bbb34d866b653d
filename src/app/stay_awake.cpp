#include "app/stay_awake.h"

bool ShouldStayAwake(LinkStage stage, bool bRecording) {
  return bRecording || stage == LinkStage::Activating || stage == LinkStage::Receiving;
}
