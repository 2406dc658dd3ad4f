#pragma once
// The two interfaces of everything the scene draws. A KvDrawObject has eight operations,
// called by the frame in this slot order; most drawables need only some of them. A
// KvBaseTransparent is drawn in the see-through passes after every opaque object.
//
// Objects are created, drawn and deleted on the main thread, but may be deleted while no
// context is current (a battle cleared at shutdown): their destructors must not touch OpenGL.

#include <cstdint>

namespace kv {

class KvScene;
class VisibilityTree;

class KvDrawObject {
public:
    virtual ~KvDrawObject() = default;

    // 0. Registers the object's transform nodes with the scene (AddTransform).
    virtual void OnAttach(KvScene& scene) {}
    // 1. Unregisters them.
    virtual void OnDetach(KvScene& scene) {}
    // 2. Once per frame before any view is drawn.
    virtual void PrepareFrame() {}
    // 3. Opaque geometry with lighting on, after setting the object's material. Robot views
    //    (isMainView false) draw only what the object tree's cull marked visible.
    virtual void Draw(KvScene& scene, bool isMainView) = 0;
    // 4. The stencil shadow pass, main view only.
    virtual void DrawShadowVolume() {}
    // 5. This frame's bounds, inserted into tree as a dynamic member.
    virtual void UpdateVisibility(VisibilityTree& tree) {}
    // 6. Static visibility members into tree.
    virtual void AttachTree(VisibilityTree& tree) {}
    // 7. And out of it again.
    virtual void DetachTree(VisibilityTree& tree) {}

    KvScene* scene = nullptr;  // set by AddObject
    uint64_t addOrder = 0;     // the scene draws objects in the order they were added
};

class KvBaseTransparent {
public:
    virtual void Draw(bool isMainView) = 0;
    virtual ~KvBaseTransparent() = default;
};

}  // namespace kv
