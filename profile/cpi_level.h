// The record's rule between a CPI level and the sensor step it rests on.
#pragma once

#include <cstdint>

#include "device/cpi_steps.h"
#include "profile/records.h"

namespace zr {

// The sensor step of a level: the larger axis snapped to the step table, on
// both axes, enabled as the level is.
inline TCPILEVELINFO SensorStepOf(const TCPILEVELINFO& level) {
  const auto step = static_cast<std::uint16_t>(SnapCpiToStep(MaxCpi(level.X, level.Y)));
  return {step, step, level.Enabled};
}

}  // namespace zr
