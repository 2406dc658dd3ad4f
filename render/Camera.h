#pragma once
// A perspective camera looking from eye at target with the world's Y axis up. Its matrices
// are computed here in double precision, the way the GL utility library builds them, and
// loaded into OpenGL by Apply.

#include "core/Matrix.h"
#include "render/VisibilityTree.h"

namespace kv {

// Column-order perspective projection: fovy in degrees, as the GL utility library makes it.
KvMatrix Perspective(double fovy, double aspect, double zNear, double zFar);
// Column-order viewing matrix from eye towards target with the given up direction.
KvMatrix LookAt(const KvVec3& eye, const KvVec3& target, const KvVec3& up);
// The general inverse of a 4x4 matrix; identity for a singular one.
KvMatrix Inverse(const KvMatrix& m);

class Camera {
public:
    static constexpr double kMinPitch = 0.1;
    static constexpr double kMaxPitch = 1.4707963267948965;  // a right angle less 0.1

    // Recomputes modelview, inverse, projection and cullProjection (twice near, half far).
    void UpdateMatrices();
    // UpdateMatrices, then loads the projection and the modelview matrix and pushes the
    // modelview matrix (the frame pops it when the view is done).
    void Apply();
    // The axis-aligned box around the culling frustum, in world coordinates.
    Box CullBox() const;
    // Puts the eye on a sphere of radius 8 round the origin at yaw and pitch (radians, pitch
    // clamped to kMinPitch..kMaxPitch) looking at the floor point between the origin and the
    // eye's foot point; far follows the pitch. Returns the clamped pitch.
    double Orbit(double yaw, double pitch);

    double fov = 45.0;
    double aspect = 1.0;
    double near = 0.1;
    double far = 30.0;
    KvVec3 eye;
    KvVec3 target;
    KvMatrix modelview = Identity();
    KvMatrix inverse = Identity();
    KvMatrix projection = Identity();
    KvMatrix cullProjection = Identity();
};

}  // namespace kv
