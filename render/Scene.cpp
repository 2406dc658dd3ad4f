#include "render/Scene.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cassert>

#include "render/GLContext.h"
#include "render/Ground.h"
#include "render/ShadowVolume.h"

namespace kv {

namespace {

// Takes the scene lock for a scope when asked to.
class SceneLock {
public:
    SceneLock(KvLock& lock, bool take) : lock_(take ? &lock : nullptr) {
        if (lock_) lock_->Lock();
    }
    ~SceneLock() {
        if (lock_) lock_->Unlock();
    }
    SceneLock(const SceneLock&) = delete;
    SceneLock& operator=(const SceneLock&) = delete;

private:
    KvLock* lock_;
};

// How far below the lowest ground the shadow volumes are cut off.
constexpr double kVolumeClipMargin = 0.05;

// Both matrices back to the camera the view applied (the frame pushed it on both stacks).
void RestoreCamera() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPushMatrix();
}

}  // namespace

KvScene::KvScene()
    : groundTree_({{-20, -0.625, -20}, {20, 0.625, 20}}, 4.0), objectTree_({{-5, -0.625, -5}, {5, 0.625, 5}}, 2.0) {
    // A warm white light from above the -X/-Z corner and a bluish fill from the +X/+Z side.
    light0.diffuse = {1.0f, 1.0f, 0.9f, 1.0f};
    light0.position = {-1.0f, 1.0f, -1.0f, 0.0f};
    light1.diffuse = {0.4f, 0.4f, 0.7f, 1.0f};
    light1.position = {1.0f, 0.0f, 1.0f, 0.0f};
}

KvScene::~KvScene() = default;

void KvScene::Init(GLContext& context, KvGround* ground, const KvTextureSet* textures) {
    context_ = &context;
    ground_ = ground;
    if (ground_) {
        ground_->AttachTree(groundTree_);
        if (textures) ground_->LoadTextures(*textures);
    }
    context_->MakeCurrent();
}

void KvScene::AddObject(KvDrawObject& object, bool lock) {
    SceneLock guard(*this, lock);
    object.scene = this;
    object.addOrder = nextAddOrder_++;
    object.OnAttach(*this);
    object.AttachTree(objectTree_);
    objects_.insert(&object);
}

void KvScene::RemoveObject(KvDrawObject& object, bool lock) {
    SceneLock guard(*this, lock);
    object.OnDetach(*this);
    object.DetachTree(objectTree_);
    objects_.erase(&object);
}

void KvScene::AddTrack(KvBaseTrack& track, bool lock) {
    SceneLock guard(*this, lock);
    objectTree_.Insert(track);
    track.trackKey = nextTrackKey_;
    tracks_[nextTrackKey_] = &track;
    nextTrackKey_ += kTrackKeyStep;
}

void KvScene::RemoveTrack(KvBaseTrack& track, bool lock) {
    SceneLock guard(*this, lock);
    track.RemoveFromTree();
    auto it = tracks_.find(track.trackKey);
    if (it != tracks_.end() && it->second == &track) tracks_.erase(it);
}

bool KvScene::HasTrack(const KvBaseTrack& track) const {
    auto it = tracks_.find(track.trackKey);
    return it != tracks_.end() && it->second == &track;
}

void KvScene::RemoveView(View* view) { views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end()); }

void KvScene::MouseMove(int32_t x, int32_t y) {
    if (!pointerSeen_) {
        previousX_ = x;
        previousY_ = y;
        pointerSeen_ = true;
    }
    for (size_t i = 1; i < views_.size(); ++i) views_[i]->MouseTest(x, y, previousX_, previousY_);
    previousX_ = x;
    previousY_ = y;
}

void KvScene::Clear() {
    SceneLock guard(*this, true);
    tracks_.clear();
    nextTrackKey_ = 0.0;
    objects_.clear();
    transforms_.clear();
    for (VisibilityTree* tree : {&groundTree_, &objectTree_}) {
        tree->ClearAll();
        tree->ClearDynamic();
    }
}

// ---------------------------------------------------------------------------------------
// The frame

void KvScene::Render() {
    assert(context_ && "the scene draws only after Init");
    SceneLock guard(*this, true);
    // Every GL call of the frame goes to this context, the first one included.
    context_->MakeCurrent();
    const ClientSize client = BeginFrame();
    SnapshotRobots();
    objectTree_.ClearDynamic();
    InvalidateTransforms();
    PrepareObjects();
    // The main view's stencil shadows need the objects' visible flags too: its pass marks
    // everything in the tree visible, which reaches only what was put into the tree.
    if (settings_->oneViewActive == 0 || SomeRobotViewIsLive() || settings_->shadowMode == 1) UpdateVisibility();
    for (size_t i = 0; i < views_.size(); ++i) DrawView(i, client);
    currentView_ = nullptr;
    mainTransparents_.Clear();
    context_->SwapBuffers();
}

ClientSize KvScene::BeginFrame() {
    glDisable(GL_BLEND);
    const ClientSize client = context_->Size();
    if (client.width != drawnSize_.width || client.height != drawnSize_.height) {
        const bool resized = drawnSize_.width > 0;
        drawnSize_ = client;
        // A window system may hand out the resized buffer a frame late: pictures saved then
        // would hold what lay under the view before, so the robot views draw live and save
        // again on this frame and the next. (New views draw live on their first frame anyway.)
        if (resized) renewPictures_ = 2;
    }
    if (renewPictures_ > 0) {
        --renewPictures_;
        for (size_t i = 1; i < views_.size(); ++i) {
            views_[i]->active = true;
            views_[i]->pictureValid = false;
        }
    }
    return client;
}

// The panels read each robot once per frame, never half-way through a simulation step.
void KvScene::SnapshotRobots() {
    for (View* view : views_) {
        if (view->Robot()) view->shown = view->Robot()->Values();
    }
}

void KvScene::InvalidateTransforms() {
    for (TransformNode* node : transforms_) node->Invalidate();
}

void KvScene::PrepareObjects() {
    for (KvDrawObject* object : objects_) object->PrepareFrame();
}

bool KvScene::SomeRobotViewIsLive() const {
    return std::any_of(views_.begin() + std::min<size_t>(1, views_.size()), views_.end(),
                       [](const View* v) { return v->active; });
}

void KvScene::UpdateVisibility() {
    for (KvDrawObject* object : objects_) object->UpdateVisibility(objectTree_);
}

void KvScene::DrawView(size_t index, ClientSize client) {
    View& view = *views_[index];
    isMainView_ = index == 0;
    currentView_ = &view;
    if (!isMainView_) view.PlaceInColumn(client.width, client.height, static_cast<int>(index));
    view.UpdateRect();
    view.Apply();
    if (!isMainView_) {
        glEnable(GL_SCISSOR_TEST);
    } else if (RobotViewsFillColumn(client)) {
        // Robot views cover the right-hand column: the main view need not draw under them.
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, client.width - View::kRobotViewSize, client.height);
    }
    ClearView();
    // A frozen robot view shows its saved picture (drawn with the panel) instead.
    const bool frozen = !isMainView_ && !view.active && settings_->oneViewActive != 0;
    if (!frozen) DrawScene(view);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    panels_.DrawPanel(view, *context_, *settings_);
    transparents_.Clear();
    glDisable(GL_SCISSOR_TEST);
}

bool KvScene::RobotViewsFillColumn(ClientSize client) const {
    const auto robotViews = static_cast<int32_t>(views_.size()) - 1;
    return robotViews > 0 && robotViews * View::kRobotViewSize >= client.height && client.width > View::kRobotViewSize;
}

void KvScene::ClearView() {
    glClearColor(kSkyColour[0], kSkyColour[1], kSkyColour[2], kSkyColour[3]);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// The view's 3D content; leaves both matrix stacks as it found them.
void KvScene::DrawScene(View& view) {
    ApplyLights();
    ApplyFog(view);
    DrawGroundAndCull(view);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    DrawObjects();
    DrawStencilShadows();
    glDepthMask(GL_FALSE);
    DrawTracks();
    if (isMainView_) DrawTransparents(mainTransparents_);
    glDepthMask(GL_TRUE);
    DrawTransparents(transparents_);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void KvScene::ApplyLights() {
    glMatrixMode(GL_MODELVIEW);
    light0.Apply();
    light1.Apply();
}

void KvScene::ApplyFog(const View& view) {
    glFogfv(GL_FOG_COLOR, kSkyColour.data());
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, view.fogStart);
    glFogf(GL_FOG_END, view.fogEnd);
}

// The main view draws everything; a robot view draws what its culling box touches.
void KvScene::DrawGroundAndCull(View& view) {
    if (isMainView_) {
        groundTree_.SetAllVisible(1);
        if (ground_) ground_->Draw(*this, true);
        objectTree_.SetAllVisible(1);
        return;
    }
    const Box cullBox = view.camera.CullBox();
    groundTree_.SetAllVisible(0);
    groundTree_.Cull(cullBox);
    if (ground_) ground_->Draw(*this, false);
    objectTree_.SetAllVisible(0);
    objectTree_.Cull(cullBox);
}

void KvScene::DrawObjects() {
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    for (KvDrawObject* object : objects_) object->Draw(*this, isMainView_);
}

// Stencil shadow volumes, main view only, read from the settings every frame so that a
// change of mode shows at once.
void KvScene::DrawStencilShadows() {
    if (settings_->shadowMode != 1 || !isMainView_) return;
    // Seen from above the ground, nothing below its lowest point shows: clipping the volumes
    // there leaves every count in front of a visible surface as it was, and spares most of
    // the pixels of volumes pushed 5 m down along the light.
    const bool clip = ground_ && currentView_->camera.eye.y > ground_->Highest();
    if (clip) {
        RestoreCamera();
        const GLdouble keepAbove[4] = {0, 1, 0, -(ground_->Lowest() - kVolumeClipMargin)};
        glClipPlane(GL_CLIP_PLANE0, keepAbove);
        glEnable(GL_CLIP_PLANE0);
    }
    for (KvDrawObject* object : objects_) object->DrawShadowVolume();
    glDisable(GL_CLIP_PLANE0);
    DarkenShadows();
}

void KvScene::DrawTracks() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    RestoreCamera();
    // Scorch marks in the order they were laid, then the robots' shadows over all of them.
    for (uint8_t layer : {KvBaseTrack::kMarks, KvBaseTrack::kShadows}) {
        for (auto& [key, track] : tracks_) {
            if (track->layer == layer) track->Draw(isMainView_);
        }
    }
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

void KvScene::DrawTransparents(const KvTransparentList& records) {
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    RestoreCamera();
    DrawBatches(records);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

}  // namespace kv
