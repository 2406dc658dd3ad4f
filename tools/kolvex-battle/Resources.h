#pragma once
// The robot model's numbers that a battle needs, read from the resource archive.

#include "core/KvString.h"
#include "sim/RobotGeometry.h"

namespace kv {

// Loads the robot model from the archive without any window or GL context and fills
// geometry from its "Body" box and part table. Returns false with a message on failure.
bool LoadRobotGeometry(const KvFile& archive, RobotGeometry& geometry, KvString& error);

}  // namespace kv
