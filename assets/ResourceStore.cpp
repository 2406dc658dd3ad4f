#include "assets/ResourceStore.h"

#include <algorithm>

#include "assets/ModelFile.h"

namespace kv {

bool ResourceStore::Mount(const KvFile& path) {
    archivePath_ = path;
    archive_ = std::make_unique<KvFS>(path);
    if (archive_->IsOpen()) return true;
    missingEntry_ = path;
    loadError_ = error_ = archive_->Problem();
    return false;
}

bool ResourceStore::LoadAll() { return Load(true); }

bool ResourceStore::LoadGeometry() { return Load(false); }

bool ResourceStore::Fail(const KvString& entry, const KvString& why) {
    missingEntry_ = entry;
    loadError_ = why;
    error_.Format("%s: %s", archivePath_.CStr(), why.CStr());
    archive_.reset();
    return false;
}

bool ResourceStore::FailArchive() {
    missingEntry_ = archivePath_;
    loadError_ = archive_ ? archive_->Problem() : KvString().Format("%s is not mounted", archivePath_.CStr());
    error_ = loadError_;
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

void ResourceStore::LoadPicture(const char* key, const char* entry) {
    KvFSIStream in(archive_.get(), entry);
    std::optional<ImageFormat> format = ImageFormatOf(entry);
    KvImage image;
    if (!in.IsOpen() || !format || !LoadImage(image, in, *format)) {
        missingOptional_.emplace_back(entry);
        if (!in.IsOpen()) absentOptional_.emplace(entry);
        return;
    }
    images_[key] = std::move(image);
}

bool ResourceStore::Load(bool withMedia) {
    missingEntry_ = KvString();
    loadError_ = KvString();
    error_ = KvString();
    missingOptional_.clear();
    absentOptional_.clear();
    if (!archive_ || !archive_->IsOpen()) return FailArchive();
    const KvMeshLookup meshes = [this](const KvString& key) { return GetMesh(key); };

    KvModelFile model;
    KvString modelName;
    for (const ResourceItem& item : kResourceList) {
        switch (item.kind) {
            case ResourceKind::Sound:
                if (!withMedia) break;
                if (std::optional<std::vector<uint8_t>> bytes = ReadEntry(item.entry)) {
                    soundFiles_[item.key] = std::move(*bytes);
                } else {
                    missingOptional_.emplace_back(item.entry);
                    if (!archive_->Find(item.entry)) absentOptional_.emplace(item.entry);
                }
                break;
            case ResourceKind::Texture:
                if (withMedia) LoadPicture(item.key, item.entry);
                break;
            case ResourceKind::ModelFile: {
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
            case ResourceKind::Mesh: {
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
            case ResourceKind::RobotParts: {
                KvString error;
                if (!robotParts_.Bind(meshes, error)) return Fail(modelName, error);
                break;
            }
            case ResourceKind::DebrisParts: {
                KvString error;
                if (!debrisParts_.Build(meshes, error)) return Fail(modelName, error);
                break;
            }
        }
    }
    // Nothing reads the archive after the load.
    archive_.reset();
    return true;
}

std::vector<KvString> ResourceStore::MediaProblems(const std::vector<KvString>& undecodedSounds) const {
    auto holds = [](const std::vector<KvString>& list, const char* name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    std::vector<KvString> lines;
    for (const ResourceItem& item : kResourceList) {
        const bool sound = item.kind == ResourceKind::Sound;
        if (!sound && item.kind != ResourceKind::Texture) continue;
        if (!holds(missingOptional_, item.entry) && !(sound && holds(undecodedSounds, item.key))) continue;
        const char* path = archivePath_.CStr();
        const char* what = absentOptional_.count(item.entry) ? "is missing" : "cannot be decoded";
        KvString& line = lines.emplace_back();
        if (sound) line.Format("%s: %s %s; the sound '%s' is not played", path, item.entry, what, item.key);
        else line.Format("%s: %s %s; drawn without the texture '%s'", path, item.entry, what, item.key);
    }
    return lines;
}

KvMesh* ResourceStore::GetMesh(const KvString& key) const {
    auto it = meshes_.find(key);
    return it == meshes_.end() ? nullptr : it->second.get();
}

const KvImage* ResourceStore::GetImage(const KvString& key) const {
    auto it = images_.find(key);
    return it == images_.end() ? nullptr : &it->second;
}

void ResourceStore::ReleaseDecoded() {
    images_.clear();
    soundFiles_.clear();
}

void ResourceStore::Release() {
    ReleaseDecoded();
    robotParts_ = KvModelParts();
    debrisParts_ = KvDebrisParts();
    meshes_.clear();
}

}  // namespace kv
