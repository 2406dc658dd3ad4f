#include "render/TextureSet.h"

namespace kv {

void KvTextureSet::Create(const ResourceStore& store) {
    Release();
    for (const ResourceItem& item : kResourceList) {
        if (item.kind != ResourceKind::Texture) continue;
        auto texture = std::make_unique<KvTexture>();
        if (const KvImage* image = store.GetImage(item.key)) texture->CreateFromImage(*image);
        textures_[item.key] = std::move(texture);
    }
}

KvTexture* KvTextureSet::GetTexture(const char* key) const {
    if (!key) return nullptr;
    auto it = textures_.find(key);
    return it == textures_.end() ? nullptr : it->second.get();
}

void KvTextureSet::Release() { textures_.clear(); }

}  // namespace kv
