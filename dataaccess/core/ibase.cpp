#include "dataaccess/core/ibase.h"

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

constinit const TUnit unit_ibase("ibase", Init, Final);
