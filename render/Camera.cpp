#include "render/Camera.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

#include "core/Angles.h"

namespace kv {

namespace {

// m applied to (x, y, z, 1), divided by w.
KvVec3 Project(const KvMatrix& m, double x, double y, double z) {
    const double w = m[3] * x + m[7] * y + m[11] * z + m[15];
    return {(m[0] * x + m[4] * y + m[8] * z + m[12]) / w, (m[1] * x + m[5] * y + m[9] * z + m[13]) / w,
            (m[2] * x + m[6] * y + m[10] * z + m[14]) / w};
}

}  // namespace

KvMatrix Perspective(double fovy, double aspect, double zNear, double zFar) {
    const double f = 1.0 / std::tan(fovy * kPi / 360.0);
    KvMatrix m = Zero();
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
    return m;
}

KvMatrix LookAt(const KvVec3& eye, const KvVec3& target, const KvVec3& up) {
    const KvVec3 f = Normalised({target.x - eye.x, target.y - eye.y, target.z - eye.z});
    const KvVec3 s = Normalised(Cross(f, up));
    const KvVec3 u = Cross(s, f);
    KvMatrix m = Identity();
    m[0] = s.x, m[4] = s.y, m[8] = s.z;
    m[1] = u.x, m[5] = u.y, m[9] = u.z;
    m[2] = -f.x, m[6] = -f.y, m[10] = -f.z;
    m[12] = -(s.x * eye.x + s.y * eye.y + s.z * eye.z);
    m[13] = -(u.x * eye.x + u.y * eye.y + u.z * eye.z);
    m[14] = f.x * eye.x + f.y * eye.y + f.z * eye.z;
    return m;
}

KvMatrix Inverse(const KvMatrix& m) {
    // Cofactor expansion, as the GL utility library inverts for unprojection.
    KvMatrix inv;
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0) return Identity();
    for (double& v : inv) v /= det;
    return inv;
}

void Camera::UpdateMatrices() {
    projection = Perspective(fov, aspect, near, far);
    cullProjection = Perspective(fov, aspect, 2 * near, 0.5 * far);
    modelview = LookAt(eye, target, {0, 1, 0});
    inverse = Inverse(modelview);
}

void Camera::Apply() {
    UpdateMatrices();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelview.data());
    glPushMatrix();
}

Box Camera::CullBox() const {
    // The eight corners of the normalised view volume carried back into the world.
    const KvMatrix toWorld = Inverse(Product(cullProjection, modelview));
    std::array<KvVec3, 8> corners;
    for (int k = 0; k < 8; ++k) corners[k] = Project(toWorld, k & 1 ? 1 : -1, k & 2 ? 1 : -1, k & 4 ? 1 : -1);
    return Box::Around(corners.begin(), corners.end());
}

double Camera::Orbit(double yaw, double pitch) {
    pitch = std::clamp(pitch, kMinPitch, kMaxPitch);
    const double k = std::cos(pitch);
    far = 40 * k + 10;
    eye = {8 * std::cos(yaw) * k, 8 * std::sin(pitch), 8 * std::sin(yaw) * k};
    target = {2 * std::cos(yaw) * k, 0, 2 * std::sin(yaw) * k};
    return pitch;
}

}  // namespace kv
