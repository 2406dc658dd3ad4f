#pragma once
// The fixed-function light and surface parameters, in single precision as OpenGL takes them.

#include <array>
#include <cstdint>

namespace kv {

using Rgba = std::array<float, 4>;

class Light {
public:
    explicit Light(uint32_t glLight) : id(glLight) {}
    // Enables the light and sets all its parameters; the position goes through the current
    // modelview matrix, so apply it with the camera loaded to fix the light in the world.
    void Apply() const;

    uint32_t id;
    Rgba ambient{0.2f, 0.2f, 0.2f, 1.0f};
    Rgba diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    Rgba specular{0.0f, 0.0f, 0.0f, 0.0f};
    Rgba position{0.0f, 0.0f, 1.0f, 0.0f};
    std::array<float, 3> spotDirection{0.0f, 0.0f, 1.0f};
    float spotExponent = 0.0f;
    float spotCutoff = 180.0f;
    float constantAttenuation = 1.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
};

struct Material {
    // Sets all five values on both faces.
    void Apply() const;

    Rgba ambient{0.2f, 0.2f, 0.2f, 1.0f};
    Rgba diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    Rgba specular{1.0f, 1.0f, 1.0f, 1.0f};
    Rgba emission{0.0f, 0.0f, 0.0f, 0.0f};
    float shininess = 0.0f;
};

}  // namespace kv
