#pragma once
// The single registry of everything loaded from the resource archive: textures, meshes and
// sounds by key, plus the templates of the robot's part hierarchy and of its debris.
// Everything is loaded in one fixed pass at start-up; afterwards the maps are only read
// (by the main thread and the simulation thread), so they need no lock.

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "assets/DebrisParts.h"
#include "assets/Mesh.h"
#include "assets/ModelParts.h"
#include "assets/Texture.h"
#include "core/KvFS.h"
#include "core/KvString.h"
#include "sound/SoundSystem.h"

namespace kv {

inline constexpr const char* kArchiveFileName = "Kolvex.kvfs";

enum class ResourceKind {
    Sound,        // key -> WAV entry
    Texture,      // key -> TGA or JPEG entry
    ModelFile,    // the model file the following meshes come from
    Mesh,         // key = object name in the last model file
    RobotParts,   // bind the robot's part template from the meshes and textures so far
    DebrisParts,  // build the debris piece template from the debris meshes
};

struct ResourceItem {
    ResourceKind kind;
    const char* key;    // null for model files and templates
    const char* entry;  // archive entry name; for meshes the object name
};

inline constexpr std::size_t kResourceCount = 54;
// Every resource of the game in load order.
extern const std::array<ResourceItem, kResourceCount> kResourceList;

class ResourceStore {
public:
    ResourceStore() = default;
    ~ResourceStore();
    ResourceStore(const ResourceStore&) = delete;
    ResourceStore& operator=(const ResourceStore&) = delete;

    // Opens the archive (by default "Kolvex.kvfs" in the current directory). The splash reads
    // its picture through Archive() before LoadAll closes it.
    void Mount(const KvFile& path = kArchiveFileName);
    KvFS* Archive() const { return archive_.get(); }

    // Loads every resource of the list; needs the OpenGL context on this thread. Sounds get
    // buffers when sound is available, each made under the sound lock (the caller must not
    // hold it). Closes the archive. False when a model file or one of
    // its objects is missing or damaged: MissingEntry() names it and LoadError() says why.
    bool LoadAll(SoundSystem* sound);
    // The same without OpenGL or a sound device, for battles without a window: meshes and part
    // templates, and sounds decoded for their facts only (buffer 0) when withSounds is set.
    bool LoadHeadless(bool withSounds = true);

    const KvString& MissingEntry() const { return missingEntry_; }
    const KvString& LoadError() const { return loadError_; }
    // Entries the game can run without (sounds, textures) that were absent or undecodable.
    const std::vector<KvString>& MissingOptional() const { return missingOptional_; }

    // Look-ups never insert; null when the key is absent.
    KvTexture* GetTexture(const KvString& key) const;
    KvMesh* GetMesh(const KvString& key) const;
    KvSound* GetSound(const KvString& key) const;

    KvModelParts& RobotParts() { return robotParts_; }
    KvDebrisParts& DebrisParts() { return debrisParts_; }

    // Deletes every texture name and sound buffer (under the sound lock) and empties the maps;
    // the OpenGL context and the sound system must still be up.
    void Release();

private:
    bool Load(SoundSystem* sound, bool withTextures, bool withSounds);
    bool Fail(const KvString& entry, const KvString& why);
    void LoadSound(SoundSystem* sound, const char* key, const char* entry);
    std::optional<std::vector<uint8_t>> ReadEntry(const char* entry);

    std::unique_ptr<KvFS> archive_;
    std::map<KvString, std::unique_ptr<KvTexture>> textures_;
    std::map<KvString, std::unique_ptr<KvMesh>> meshes_;
    std::map<KvString, std::unique_ptr<KvSound>> sounds_;
    KvModelParts robotParts_;
    KvDebrisParts debrisParts_;
    SoundSystem* sound_ = nullptr;  // the system that made the sound buffers
    KvString missingEntry_;
    KvString loadError_;
    std::vector<KvString> missingOptional_;
};

}  // namespace kv
