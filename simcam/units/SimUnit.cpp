#include "units/SimUnit.h"

#include <cerrno>

namespace vorq::simcam {

SimUnit::~SimUnit() = default;

uint8_t SimUnit::info(uint8_t) const { return 0x03; }

int SimUnit::getAttribute(uint8_t, uint8_t, SimUnitContext&, uint8_t*, uint16_t) const { return EPIPE; }

void SimUnit::initialise(SimCameraRecord&) const {}

void SimUnit::factoryReset(SimCameraRecord&) const {}

bool SimUnit::repair(SimCameraRecord&) const { return false; }

void SimUnit::rebootCompleted(SimUnitContext&) const {}

} // namespace vorq::simcam
