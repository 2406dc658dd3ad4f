#include "render/ShadowMap.h"

#include <epoxy/gl.h>

#include <cmath>

#include "assets/ModelParts.h"
#include "core/Angles.h"
#include "render/Camera.h"
#include "render/GLContext.h"
#include "render/MeshDraw.h"
#include "render/Scene.h"

namespace kv {

namespace {

// The light's eye stands this far back along each axis from the bounds' base centre; the
// orthographic volume reaches from it to kLightFar.
constexpr double kLightBack = 10.0;
constexpr double kLightFar = 20.0;
// The light falls along (1, -1, 1), so a step along the ground away from it moves the
// light's picture of it up by only 1/sqrt(3) of the step: the picture's height covers sqrt(3)
// times as much ground as its width.
const double kAlongLight = std::sqrt(3.0);

void DeleteBuffer(ShadowMapBuffer& buffer) {
    GLuint framebuffer = buffer.framebuffer, depth = buffer.depth, texture = buffer.texture;
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    if (depth) glDeleteRenderbuffers(1, &depth);
    if (texture) glDeleteTextures(1, &texture);
    buffer = {};
}

// The texture (linear filtering, no mipmaps) and a framebuffer drawing into it with its own
// depth buffer; false, with nothing left over, when the framebuffer is not complete.
bool MakeBuffer(ShadowMapBuffer& buffer) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    GLuint texture = 0, depth = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    buffer.texture = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // The silhouette's edge must not wrap round to the far side of the track.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, buffer.size, buffer.size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenRenderbuffers(1, &depth);
    buffer.depth = depth;
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, buffer.size, buffer.size);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &framebuffer);
    buffer.framebuffer = framebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
    if (!complete || texture == 0 || depth == 0 || framebuffer == 0) {
        DeleteBuffer(buffer);
        return false;
    }
    return true;
}

// The scene's context, current, for work outside the frame.
GLContext* CurrentContext(KvScene& scene) {
    GLContext* context = scene.Context();
    return context && context->MakeCurrent() ? context : nullptr;
}

}  // namespace

std::array<Vec2, 4> ShadowTrackCorners(const Box& bounds) {
    const double r = Length(bounds.max - bounds.min) / 2, l = kAlongLight * r;
    const double cx = (bounds.min.x + bounds.max.x) / 2, cz = (bounds.min.z + bounds.max.z) / 2;
    const double c = std::cos(kPi / 4), s = std::sin(kPi / 4);
    const Vec2 local[4] = {{-l, -r}, {-l, r}, {l, r}, {l, -r}};
    std::array<Vec2, 4> corners;
    for (int i = 0; i < 4; ++i)
        corners[i] = {cx + local[i].x * c - local[i].y * s, cz + local[i].x * s + local[i].y * c};
    return corners;
}

void BuildShadowTrack(KvShadowTrack& track, const KvHeightField& ground, const std::array<Vec2, 4>& corners) {
    LaySquareOnGround(ground, corners, track.mesh);
    track.bounds = Box::Around(track.mesh.vertices.begin(), track.mesh.vertices.end());
}

void KvShadowTrack::Draw(bool isMainView) {
    if (!buffer_.Exists() || mesh.indices.empty()) return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, buffer_.texture);
    // Modulated by the texture: black at half alpha inside the silhouette, nothing outside.
    glColor4d(0, 0, 0, 0.5);
    DrawGroundMesh(mesh);
}

bool CreateShadowMap(KvRobotShadow& shadow, KvScene& scene, bool lock) {
    if (!shadow.buffer.Exists()) {
        const GLContext* context = CurrentContext(scene);
        if (!context || !context->RenderToTextureSupported() || !MakeBuffer(shadow.buffer)) return false;
    }
    // Nothing to draw until the first frame has drawn the map and laid the track.
    shadow.track.mesh = {};
    if (!scene.HasTrack(shadow.track)) scene.AddTrack(shadow.track, lock);
    return true;
}

void ReleaseShadowMap(KvRobotShadow& shadow, KvScene& scene, bool lock) {
    scene.RemoveTrack(shadow.track, lock);
    shadow.track.mesh = {};
    if (!shadow.buffer.Exists()) return;
    // Without the context its objects cannot be deleted; they go with it.
    if (CurrentContext(scene)) DeleteBuffer(shadow.buffer);
    shadow.buffer = {};
}

void RenderShadowMap(KvRobotShadow& shadow, KvModelParts& parts, const Box& bounds, const KvHeightField& ground) {
    const ShadowMapBuffer& map = shadow.buffer;
    if (!map.Exists()) return;
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_FRAMEBUFFER, map.framebuffer);
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
    glViewport(0, 0, map.size, map.size);
    // A plain white silhouette: only depth testing of the frame's state is wanted.
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const double r = Length(bounds.max - bounds.min) / 2;
    const KvVec3 base{(bounds.min.x + bounds.max.x) / 2, bounds.min.y, (bounds.min.z + bounds.max.z) / 2};
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-r, r, -r, r, 0, kLightFar);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixd(LookAt(base + KvVec3{-kLightBack, kLightBack, -kLightBack}, base, {0, 1, 0}).data());
    glColor4d(1, 1, 1, 1);
    glPushMatrix();
    DrawPlain(parts);
    glPopMatrix();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));

    BuildShadowTrack(shadow.track, ground, ShadowTrackCorners(bounds));
}

}  // namespace kv
