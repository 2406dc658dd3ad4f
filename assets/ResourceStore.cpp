#include "assets/ResourceStore.h"

#include "assets/ModelFile.h"

namespace kv {

namespace {

using K = ResourceKind;

// Holds the sound lock: the main loop calls into the sound library under it.
class SoundLockHold {
public:
    explicit SoundLockHold(SoundSystem& sound) : sound_(sound) { sound_.Lock(); }
    ~SoundLockHold() { sound_.Unlock(); }
    SoundLockHold(const SoundLockHold&) = delete;
    SoundLockHold& operator=(const SoundLockHold&) = delete;

private:
    SoundSystem& sound_;
};

}  // namespace

const std::array<ResourceItem, kResourceCount> kResourceList = {{
    {K::Sound, "motor", "motor1.wav"},
    {K::Sound, "SmallExplosion", "SmallExplosion.wav"},
    {K::Sound, "rocket", "rocket2.wav"},
    {K::Sound, "GreatExplosion", "GreatExplosion.wav"},
    {K::Sound, "hit", "hit.wav"},
    {K::Sound, "collision", "collision.wav"},
    {K::Texture, "flame", "flame.tga"},
    {K::Texture, "smoke", "smoke.tga"},
    {K::Texture, "mark", "mark.tga"},
    {K::Texture, "grass", "GRASS2.jpg"},
    {K::Texture, "dark.grass", "dark.grass.jpg"},
    {K::Texture, "red_rocket", "red_rocket.jpg"},
    {K::Texture, "green_rocket", "green_rocket.jpg"},
    {K::Texture, "blue_rocket", "blue_rocket.jpg"},
    {K::Texture, "magenta_rocket", "magenta_rocket.jpg"},
    {K::Texture, "body_blue", "body_blue.jpg"},
    {K::Texture, "body_red", "body_red.jpg"},
    {K::Texture, "body_green", "body_green.jpg"},
    {K::Texture, "body_magenta", "body_magenta.jpg"},
    {K::Texture, "detal.02", "detal.02.jpg"},
    {K::Texture, "detal.03", "detal.03.jpg"},
    {K::Texture, "detal.04", "detal.04.jpg"},
    {K::Texture, "wheel", "wheel.jpg"},
    {K::ModelFile, nullptr, "robot.3d"},
    {K::Mesh, "Rocket", "Rocket"},
    {K::Mesh, "wheel.01", "wheel.01"},
    {K::Mesh, "wheel.02", "wheel.02"},
    {K::Mesh, "wheel.03", "wheel.03"},
    {K::Mesh, "wheel.04", "wheel.04"},
    {K::Mesh, "Body", "Body"},
    {K::Mesh, "Body.01", "Body.01"},
    {K::Mesh, "detal.02", "detal.02"},
    {K::Mesh, "detal.02.01", "detal.02.01"},
    {K::Mesh, "detal.02.02", "detal.02.02"},
    {K::Mesh, "detal.02.03", "detal.02.03"},
    {K::Mesh, "detal.03", "detal.03"},
    {K::Mesh, "detal.03.01", "detal.03.01"},
    {K::Mesh, "detal.04", "detal.04"},
    {K::Mesh, "detal.04.01", "detal.04.01"},
    {K::Mesh, "detal.04.02", "detal.04.02"},
    {K::RobotParts, nullptr, nullptr},
    {K::ModelFile, nullptr, "debris.3d"},
    {K::Mesh, "debris.01", "debris.01"},
    {K::Mesh, "debris.02", "debris.02"},
    {K::Mesh, "debris.03", "debris.03"},
    {K::Mesh, "debris.04", "debris.04"},
    {K::Mesh, "debris.05", "debris.05"},
    {K::Mesh, "debris.06", "debris.06"},
    {K::Mesh, "debris.07", "debris.07"},
    {K::Mesh, "debris.wheel.01", "debris.wheel.01"},
    {K::Mesh, "debris.wheel.02", "debris.wheel.02"},
    {K::Mesh, "debris.wheel.03", "debris.wheel.03"},
    {K::Mesh, "debris.wheel.04", "debris.wheel.04"},
    {K::DebrisParts, nullptr, nullptr},
}};

ResourceStore::~ResourceStore() { Release(); }

void ResourceStore::Mount(const KvFile& path) { archive_ = std::make_unique<KvFS>(path); }

bool ResourceStore::LoadAll(SoundSystem* sound) { return Load(sound, true, true); }

bool ResourceStore::LoadHeadless(bool withSounds) { return Load(nullptr, false, withSounds); }

bool ResourceStore::Fail(const KvString& entry, const KvString& why) {
    missingEntry_ = entry;
    loadError_ = why;
    archive_.reset();
    return false;
}

std::optional<std::vector<uint8_t>> ResourceStore::ReadEntry(const char* entry) {
    KvFSIStream in(archive_.get(), entry);
    if (!in.IsOpen()) return std::nullopt;
    std::vector<uint8_t> bytes(in.size);
    if (in.size > 0 && in.Read(bytes.data(), in.size) != static_cast<int32_t>(in.size)) return std::nullopt;
    return bytes;
}

// A sound is kept whenever its entry decodes; it gets a buffer only from an available system,
// so GetSound is null exactly for the sounds the archive lacks or cannot give.
void ResourceStore::LoadSound(SoundSystem* sound, const char* key, const char* entry) {
    std::optional<std::vector<uint8_t>> bytes = ReadEntry(entry);
    std::optional<PcmSound> pcm;
    if (bytes) pcm = DecodeWav(bytes->data(), bytes->size());
    std::unique_ptr<KvSound> made;
    if (pcm && sound && sound->IsAvailable()) {
        SoundLockHold hold(*sound);
        made = sound->CreateSound(*pcm);
    } else if (pcm) {
        made = std::make_unique<KvSound>();
        made->sampleRate = pcm->sampleRate;
        made->lengthMs = pcm->LengthMs();
        made->channels = pcm->channels;
    }
    if (!made) {
        missingOptional_.emplace_back(entry);
        return;
    }
    sounds_[key] = std::move(made);
}

bool ResourceStore::Load(SoundSystem* sound, bool withTextures, bool withSounds) {
    missingEntry_ = KvString();
    loadError_ = KvString();
    missingOptional_.clear();
    sound_ = sound;
    if (!archive_ || !archive_->IsOpen()) {
        return Fail(kArchiveFileName, KvString().Format("The resource archive \"%s\" is missing or damaged",
                                                        kArchiveFileName));
    }
    const KvMeshLookup meshes = [this](const KvString& key) { return GetMesh(key); };
    const KvTextureLookup textures = [this](const KvString& key) { return GetTexture(key); };

    KvModelFile model;
    KvString modelName;
    for (const ResourceItem& item : kResourceList) {
        switch (item.kind) {
            case K::Sound:
                if (withSounds) LoadSound(sound, item.key, item.entry);
                break;
            case K::Texture: {
                if (!withTextures) break;
                // Registered even when it fails: it then binds as the default texture.
                auto& texture = textures_[item.key];
                texture = std::make_unique<KvTexture>();
                if (!texture->CreateFromArchive(archive_.get(), item.entry)) missingOptional_.emplace_back(item.entry);
                break;
            }
            case K::ModelFile: {
                modelName = item.entry;
                model = KvModelFile();
                KvFSIStream in(archive_.get(), item.entry);
                if (!in.IsOpen()) {
                    return Fail(item.entry, KvString().Format("The resource \"%s\" is missing", item.entry));
                }
                KvString error;
                if (!model.Load(in, error)) {
                    return Fail(item.entry, KvString().Format("The resource \"%s\" is damaged: %s", item.entry,
                                                              error.CStr()));
                }
                break;
            }
            case K::Mesh: {
                const KvModelObject* object = model.FindObject(item.entry);
                auto mesh = std::make_unique<KvMesh>();
                if (!object || !mesh->BuildFrom(*object)) {
                    KvString where = KvString().Format("%s: %s", modelName.CStr(), item.entry);
                    return Fail(where, KvString().Format("The object \"%s\" is missing from \"%s\"", item.entry,
                                                         modelName.CStr()));
                }
                meshes_[item.key] = std::move(mesh);
                break;
            }
            case K::RobotParts: {
                KvString error;
                if (!robotParts_.Bind(meshes, textures, error)) return Fail(modelName, error);
                break;
            }
            case K::DebrisParts: {
                KvString error;
                if (!debrisParts_.Build(meshes, textures, error)) return Fail(modelName, error);
                break;
            }
        }
    }
    // Nothing reads the archive after the load.
    archive_.reset();
    return true;
}

KvTexture* ResourceStore::GetTexture(const KvString& key) const {
    auto it = textures_.find(key);
    return it == textures_.end() ? nullptr : it->second.get();
}

KvMesh* ResourceStore::GetMesh(const KvString& key) const {
    auto it = meshes_.find(key);
    return it == meshes_.end() ? nullptr : it->second.get();
}

KvSound* ResourceStore::GetSound(const KvString& key) const {
    auto it = sounds_.find(key);
    return it == sounds_.end() ? nullptr : it->second.get();
}

void ResourceStore::Release() {
    for (auto& [key, texture] : textures_) texture->Destroy();
    textures_.clear();
    for (auto& [key, mesh] : meshes_) mesh->Release();
    robotParts_ = KvModelParts();
    debrisParts_ = KvDebrisParts();
    meshes_.clear();
    if (sound_ && !sounds_.empty()) {
        SoundLockHold hold(*sound_);
        for (auto& [key, sound] : sounds_) sound_->ReleaseSound(*sound);
    }
    sounds_.clear();
    sound_ = nullptr;
}

}  // namespace kv
