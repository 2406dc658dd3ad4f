#pragma once
// The robot and its wreck, built from lofted pieces in the model frame: Z up, inches, the
// robot's front along -y, the ground at z = 0 and the body's centre over the origin.

#include <vector>

#include "assets/ModelFile.h"

namespace kv::gen {

// The sixteen objects of the robot's part table.
std::vector<KvModelObject> RobotObjects();
// The eleven pieces of a wreck, in the same frame as the robot.
std::vector<KvModelObject> DebrisObjects();

}  // namespace kv::gen
