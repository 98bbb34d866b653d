#include "avc/access_unit.h"

bool AddAccessUnitSink(AccessUnitSinks& sinks, AccessUnitFn pfnUnit, void* pContext) {
  if (pfnUnit == nullptr || sinks.nCount == sinks.sinks.size()) return false;
  sinks.sinks[sinks.nCount++] = AccessUnitSink{pfnUnit, pContext};
  return true;
}

void DeliverAccessUnit(const AccessUnitSinks& sinks, const AccessUnit& unit) {
  for (size_t i = 0; i < sinks.nCount; ++i) sinks.sinks[i].pfnUnit(sinks.sinks[i].pContext, unit);
}
