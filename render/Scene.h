#pragma once
// Everything drawn in one frame: robots, shells, marks, effects and the views, drawn by the
// main thread.
//
// Rules that hold across this file:
// - The scene's lock is held by Render for the whole frame, and taken by AddObject,
//   RemoveObject, AddTrack and RemoveTrack when asked to (callers that hold it pass false).
//   Only the main thread takes it: the battle stage shows the battle's events under it.
//   Lock order: scheduler mutex, then scene lock, then sound lock.
// - The scene owns its trees and the transparent records; it never deletes a drawable, a
//   mark or a view.
// - OpenGL is touched only by Init and Render, on the main thread.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "assets/TransformNode.h"
#include "render/DrawObject.h"
#include "render/GLContext.h"
#include "render/Lighting.h"
#include "render/RenderSettings.h"
#include "render/StatusPanel.h"
#include "render/Track.h"
#include "render/Transparent.h"
#include "render/View.h"
#include "render/VisibilityTree.h"
#include "sim/Scheduler.h"

namespace kv {

class KvGround;
class KvTextureSet;

// The sky behind everything and the fog colour: (68, 209, 255) / 255.
inline constexpr Rgba kSkyColour{68 / 255.0f, 209 / 255.0f, 1.0f, 1.0f};

class KvScene : public KvLock {
public:
    static constexpr double kTrackKeyStep = 0.1;

    // Lights set, both trees built; nothing to draw into until Init.
    KvScene();
    ~KvScene() override;
    KvScene(const KvScene&) = delete;
    KvScene& operator=(const KvScene&) = delete;

    // Keeps the context and the ground (which may be null), puts the ground's patches into
    // the ground tree, lets it take its textures from store (may be null) and makes the
    // context current. The frame draws the ground itself: it is not added as an object.
    void Init(GLContext& context, KvGround* ground, const KvTextureSet* textures);
    // The choices the frame reads; the scene keeps the pointer. Defaults until set.
    void SetSettings(const RenderSettings* settings) { settings_ = settings ? settings : &defaultSettings_; }
    const RenderSettings& Settings() const { return *settings_; }
    // The context given to Init; null before.
    GLContext* Context() const { return context_; }

    void AddObject(KvDrawObject& object, bool lock);
    void RemoveObject(KvDrawObject& object, bool lock);
    // Marks are drawn in the order they were added.
    void AddTrack(KvBaseTrack& track, bool lock);
    void RemoveTrack(KvBaseTrack& track, bool lock);
    // Whether the track is in the track list now; the caller holds the lock or is the only thread.
    bool HasTrack(const KvBaseTrack& track) const;
    // Only from inside Draw (the lock is held): a record to fill in, forgotten at the end of
    // the view (or of the frame, for main-view records); a record under a key already
    // present takes its place.
    KvTransparentList::Added AddTransparent(double depthKey, uint32_t mode, uint32_t count) {
        return transparents_.Add(depthKey, mode, count);
    }
    KvTransparentList::Added AddMainTransparent(double depthKey, uint32_t mode, uint32_t count) {
        return mainTransparents_.Add(depthKey, mode, count);
    }
    // From OnAttach and OnDetach.
    void AddTransform(TransformNode* node) { transforms_.insert(node); }
    void RemoveTransform(TransformNode* node) { transforms_.erase(node); }
    // Views are drawn in the order added; the first is the main view.
    void AddView(View* view) { views_.push_back(view); }
    void RemoveView(View* view);

    // The pointer at client pixel (x, y), y from the bottom: in the one-active-view layout
    // the robot view under it goes live.
    void MouseMove(int32_t x, int32_t y);
    // Forgets every drawable, mark and transform (none is deleted) and restarts the mark
    // order. The ground's patches must then be attached again.
    void Clear();
    // One frame: every view with its status panel, then the buffer swap.
    void Render();

    // While Render draws: the view being drawn and whether it is the main view.
    const View* CurrentView() const { return currentView_; }
    bool IsMainView() const { return isMainView_; }

    VisibilityTree& GroundTree() { return groundTree_; }
    VisibilityTree& ObjectTree() { return objectTree_; }
    StatusPanels& Panels() { return panels_; }
    const std::vector<View*>& Views() const { return views_; }
    Light light0{0x4000};  // GL_LIGHT0
    Light light1{0x4001};  // GL_LIGHT1

private:
    struct ByAddOrder {
        bool operator()(const KvDrawObject* a, const KvDrawObject* b) const { return a->addOrder < b->addOrder; }
    };

    // The steps of Render, in order.
    // Also renews the robot views' saved pictures when the drawable area changed size.
    ClientSize BeginFrame();
    void SnapshotRobots();
    void InvalidateTransforms();
    void PrepareObjects();
    bool SomeRobotViewIsLive() const;
    void UpdateVisibility();
    void DrawView(size_t index, ClientSize client);
    bool RobotViewsFillColumn(ClientSize client) const;
    void ClearView();
    void DrawScene(View& view);
    void ApplyLights();
    void ApplyFog(const View& view);
    void DrawGroundAndCull(View& view);
    void DrawObjects();
    void DrawStencilShadows();
    void DrawTracks();
    void DrawTransparents(const KvTransparentList& records);

    bool isMainView_ = false;
    const View* currentView_ = nullptr;
    VisibilityTree groundTree_;
    VisibilityTree objectTree_;
    std::vector<View*> views_;
    std::set<KvDrawObject*, ByAddOrder> objects_;
    uint64_t nextAddOrder_ = 0;
    KvTransparentList transparents_;
    KvTransparentList mainTransparents_;
    std::map<double, KvBaseTrack*> tracks_;
    std::set<TransformNode*> transforms_;
    GLContext* context_ = nullptr;
    KvGround* ground_ = nullptr;
    double nextTrackKey_ = 0.0;
    bool pointerSeen_ = false;
    int32_t previousX_ = 0, previousY_ = 0;
    RenderSettings defaultSettings_;
    const RenderSettings* settings_ = &defaultSettings_;
    ClientSize drawnSize_;   // of the latest frame
    int renewPictures_ = 0;  // frames left that renew the robot views' pictures
    StatusPanels panels_;
};

}  // namespace kv
