#include "render/Lighting.h"

#include <epoxy/gl.h>

namespace kv {

void Light::Apply() const {
    glEnable(id);
    glLightfv(id, GL_AMBIENT, ambient.data());
    glLightfv(id, GL_DIFFUSE, diffuse.data());
    glLightfv(id, GL_SPECULAR, specular.data());
    glLightfv(id, GL_POSITION, position.data());
    glLightfv(id, GL_SPOT_DIRECTION, spotDirection.data());
    glLightf(id, GL_SPOT_EXPONENT, spotExponent);
    glLightf(id, GL_SPOT_CUTOFF, spotCutoff);
    glLightf(id, GL_CONSTANT_ATTENUATION, constantAttenuation);
    glLightf(id, GL_LINEAR_ATTENUATION, linearAttenuation);
    glLightf(id, GL_QUADRATIC_ATTENUATION, quadraticAttenuation);
}

void Material::Apply() const {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission.data());
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
}

}  // namespace kv
