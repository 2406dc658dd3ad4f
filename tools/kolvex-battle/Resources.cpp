#include "Resources.h"

namespace kv {

bool LoadRobotGeometry(const KvFile& archive, RobotGeometry& geometry, KvString& error) {
    return true;
}

}  // namespace kv
