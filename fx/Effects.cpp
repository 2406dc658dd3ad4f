#include "fx/Effects.h"

#include "render/Scene.h"
#include "render/ScenePresenter.h"
#include "render/TextureSet.h"
#include "sim/ProcessGroup.h"

namespace kv {

const KvTexture* KvEffects::Texture(const char* key) const { return textures ? textures->GetTexture(key) : nullptr; }

int32_t KvEffects::PlayOnce(const char* key, const KvVec3& at) const { return sounds ? sounds->PlayOnce(key, at) : -1; }

void KvEffects::Start(KvProcess& process, KvDrawObject& drawable) const {
    if (owner) owner->Add(&process);
    if (scene) scene->AddObject(drawable, false);
}

void KvEffects::Finish(KvProcess& process, KvDrawObject& drawable) const {
    if (scene) scene->RemoveObject(drawable, false);
    if (owner) owner->Remove(&process, true);
}

KvEffects& UnownedEffects() {
    static thread_local KvEffects none;
    return none;
}

}  // namespace kv
