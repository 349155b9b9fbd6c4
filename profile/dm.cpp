#include "profile/dm.h"

namespace zr {

TDM::TDM(Platform& platform, MonitorGlobals& globals) : platform_(platform), globals_(globals) {
  DataModuleCreate();
}

void TDM::DataModuleCreate() {
  // The vendor collection that the monitor form looks for.
  globals_.HidUsageAndPage = kVendorCollection;
}

}  // namespace zr
