#pragma once
// The single registry of everything loaded from the resource archive: meshes by key, the
// templates of the robot's part hierarchy and of its debris, and, until the drawing and sound
// sides have made their own objects from them, every picture decoded and every sound file read.
//
// The store is headless: it needs no OpenGL context and no sound device, so a battle without a
// window loads the same resources the game does. The seam with the rest of the game is the
// resource key of kResourceList:
//   - render/TextureSet.h makes one OpenGL texture per texture key from Image(key);
//   - sound/SoundBank.h makes one sound buffer per sound key from SoundFiles();
//   - parts name their texture by key (KvModelPart::textureKey), never by a GL object.
// The game then calls ReleaseDecoded() to free the pictures and sound files.
//
// Everything is loaded in one fixed pass at start-up on the main thread; afterwards the maps
// are only read (by the main thread and the simulation thread), so they need no lock.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "assets/DebrisParts.h"
#include "assets/Image.h"
#include "assets/Mesh.h"
#include "assets/ModelParts.h"
#include "assets/ResourceList.h"
#include "core/KvFS.h"
#include "core/KvString.h"

namespace kv {

class ResourceStore {
public:
    ResourceStore() = default;
    ResourceStore(const ResourceStore&) = delete;
    ResourceStore& operator=(const ResourceStore&) = delete;

    // Opens the archive (by default "Kolvex.kvfs" in the current directory). The splash reads
    // its picture through Archive() before LoadAll closes it. False when the archive is missing
    // or damaged; Error() then says so, naming the path given.
    bool Mount(const KvFile& path = kArchiveFileName);
    KvFS* Archive() const { return archive_.get(); }

    // Loads every resource of the list: meshes and part templates, every picture decoded and
    // every sound file read whole. Closes the archive. False when the archive, a model file or
    // one of its objects is missing or damaged: MissingEntry() names it, LoadError() says why
    // and Error() is the whole message.
    bool LoadAll();
    // Only what a battle without a window needs: the meshes and the part templates.
    bool LoadGeometry();

    const KvString& MissingEntry() const { return missingEntry_; }
    const KvString& LoadError() const { return loadError_; }
    // The last failure in one line naming the archive as mounted: "x.kvfs not found",
    // "x.kvfs is damaged: bad index", "x.kvfs: The resource "robot.3d" is missing".
    const KvString& Error() const { return error_; }
    // Entries the game can run without (sounds, pictures) that were absent or undecodable.
    const std::vector<KvString>& MissingOptional() const { return missingOptional_; }
    // One line for each of those entries, and for each sound key in undecodedSounds (which the
    // sound side could not decode), in load order: what is wrong and what the game does without
    // it, e.g. "Kolvex.kvfs: GRASS2.jpg cannot be decoded; drawn without the texture 'grass'".
    std::vector<KvString> MediaProblems(const std::vector<KvString>& undecodedSounds = {}) const;

    // Look-ups never insert; null when the key is absent.
    KvMesh* GetMesh(const KvString& key) const;
    // The decoded picture of a texture key; null when its entry was missing or undecodable.
    const KvImage* GetImage(const KvString& key) const;
    // The whole WAV file of each sound key whose entry was present, by key.
    const std::map<KvString, std::vector<uint8_t>>& SoundFiles() const { return soundFiles_; }

    KvModelParts& RobotParts() { return robotParts_; }
    const KvModelParts& RobotParts() const { return robotParts_; }
    KvDebrisParts& DebrisParts() { return debrisParts_; }
    const KvDebrisParts& DebrisParts() const { return debrisParts_; }

    // Frees the decoded pictures and sound files, once textures and sound buffers exist.
    void ReleaseDecoded();
    // Empties the store; the part templates then hold no meshes.
    void Release();

private:
    bool Load(bool withMedia);
    bool Fail(const KvString& entry, const KvString& why);
    bool FailArchive();
    std::optional<std::vector<uint8_t>> ReadEntry(const char* entry);
    void LoadPicture(const char* key, const char* entry);

    std::unique_ptr<KvFS> archive_;
    std::map<KvString, std::unique_ptr<KvMesh>> meshes_;
    std::map<KvString, KvImage> images_;
    std::map<KvString, std::vector<uint8_t>> soundFiles_;
    KvModelParts robotParts_;
    KvDebrisParts debrisParts_;
    KvFile archivePath_ = kArchiveFileName;
    KvString missingEntry_;
    KvString loadError_;
    KvString error_;
    std::vector<KvString> missingOptional_;
    std::set<KvString> absentOptional_;  // those of them not in the archive at all
};

}  // namespace kv
