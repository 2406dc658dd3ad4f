#include "assets/TransformNode.h"

namespace kv {

const KvMatrix& TransformNode::GetWorld() {
    if (!worldValid) {
        world = parent ? Product(parent->GetWorld(), local) : local;
        worldValid = true;
    }
    return world;
}

}  // namespace kv
