#include "dataaccess/core/ibase.h"

#include <algorithm>
#include <cmath>

#include "platform/os/Modules.h"

String DefaultLibraryName;

namespace {

void Init() {
  DefaultLibraryName = kClientLibraryFile;
  RegisterLibraryAlias("gds32.dll", kClientLibraryFile);
  RegisterLibraryAlias("fbclient.dll", kClientLibraryFile);
}

void Final() {
  DefaultLibraryName.clear();
  DefaultLibraryName.shrink_to_fit();
}

}  // namespace

TDateTime ServerDateTimeToDateTime(ISC_DATE Date, ISC_TIME Time) {
  const double days = static_cast<double>(Date) - kServerDateOfDateTimeZero;
  const double time = static_cast<double>(Time) / kServerTimeUnitsPerDay;
  return days >= 0 ? days + time : days - time;
}

bool TryDateTimeToServer(TDateTime Value, ISC_DATE& Date, ISC_TIME& Time) {
  // Years 1..9999: TDateTime days -693593 .. 2958465.
  if (!(Value > -693594.0 && Value < 2958466.0)) return false;
  const double days = std::trunc(Value);
  const double units = std::round(std::fabs(Value - days) * kServerTimeUnitsPerDay);
  Date = static_cast<ISC_DATE>(days) + kServerDateOfDateTimeZero;
  Time = static_cast<ISC_TIME>(std::min<double>(units, kServerTimeUnitsPerDay - 1));
  return true;
}

constinit const TUnit unit_ibase("ibase", Init, Final);
