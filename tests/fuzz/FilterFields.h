// The fields the filter fuzz targets parse and evaluate against: one of each
// kind the filter language compares.
#pragma once

#include "platform/db/DB.h"

inline void AddFilterFieldDefs(TFieldDefs* Defs) {
  Defs->Add("ID", ftInteger);
  Defs->Add("NAME", ftString, 20);
  Defs->Add("ACTIVE", ftBoolean);
  Defs->Add("BORN", ftDate);
  Defs->Add("AT", ftDateTime);
  Defs->Add("SMALL", ftSmallint);
  Defs->Add("PRICE", ftBCD, 2);
  Defs->Add("BIG", ftLargeint);
  Defs->Add("RATE", ftFloat);
}
