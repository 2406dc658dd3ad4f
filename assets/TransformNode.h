#pragma once
// A placement in a hierarchy: the world matrix is the parent's world matrix times the local
// one, cached until Invalidate. Invalidating a node does not touch its children; the scene
// invalidates every registered node once per frame.

#include "core/Matrix.h"

namespace kv {

class TransformNode {
public:
    // Returns the cached world matrix, computing it (parent world x local) when stale.
    const KvMatrix& GetWorld();
    void Invalidate() { worldValid = false; }
    void SetParent(TransformNode* node) {
        parent = node;
        worldValid = false;
    }

    TransformNode* parent = nullptr;  // not owned; null for a root
    KvMatrix local = Identity();
    KvMatrix world = Zero();
    bool worldValid = false;
};

}  // namespace kv
