// The profile manager: owns every stored record of the monitor.
#pragma once

#include "app/globals.h"
#include "platform/platform.h"

namespace zr {

class TDM {
 public:
  TDM(Platform& platform, MonitorGlobals& globals);
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

 private:
  void DataModuleCreate();

  [[maybe_unused]] Platform& platform_;
  MonitorGlobals& globals_;
};

}  // namespace zr
