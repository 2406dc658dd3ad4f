// kvassets: writes every resource of the game archive into a folder.
//   kvassets OUTDIR            every archive entry
//   kvassets OUTDIR --preview  also model-preview.tga, the robot and its wreck rendered
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "assets/DebrisParts.h"
#include "assets/Mesh.h"
#include "assets/ResourceList.h"
#include "core/Stream.h"
#include "tools/kvassets/Assets.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Loads a generated model file back through the game's own loader.
bool LoadMeshes(const std::vector<uint8_t>& bytes, std::map<std::string, std::unique_ptr<kv::KvMesh>>& meshes) {
    kv::KvMemIStream in(bytes.data(), static_cast<uint32_t>(bytes.size()));
    kv::KvModelFile file;
    kv::KvString error;
    if (!file.Load(in, error)) {
        std::fprintf(stderr, "kvassets: generated model does not load: %s\n", error.CStr());
        return false;
    }
    for (const kv::KvModelObject& o : file.Objects()) {
        auto mesh = std::make_unique<kv::KvMesh>();
        mesh->BuildFrom(o);
        meshes[o.name.Std()] = std::move(mesh);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kvassets OUTDIR [--preview]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const bool preview = argc > 2 && std::strcmp(argv[2], "--preview") == 0;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);

    std::vector<kv::gen::Entry> entries = kv::gen::AllEntries();
    const kv::gen::TextureSet textures = kv::gen::AllTextures();

    // The splash and the preview are painted from the models as the game will load them.
    std::map<std::string, std::unique_ptr<kv::KvMesh>> meshes;
    if (!LoadMeshes(kv::gen::RobotModelFile(), meshes) || !LoadMeshes(kv::gen::DebrisModelFile(), meshes)) return 1;
    auto meshLookup = [&](const kv::KvString& key) -> kv::KvMesh* {
        auto it = meshes.find(key.Std());
        return it == meshes.end() ? nullptr : it->second.get();
    };
    kv::KvModelParts parts;
    kv::KvDebrisParts debris;
    kv::KvString error;
    if (!parts.Bind(meshLookup, error) || !debris.Build(meshLookup, error)) {
        std::fprintf(stderr, "kvassets: %s\n", error.CStr());
        return 1;
    }
    for (kv::gen::Entry& e : entries)
        if (e.name == kv::kSplashEntry) e.bytes = kv::gen::EncodeJpeg(kv::gen::SplashPicture(parts, textures), 92);

    for (const kv::gen::Entry& e : entries)
        if (!WriteFile(dir / e.name, e.bytes)) {
            std::fprintf(stderr, "kvassets: cannot write %s\n", (dir / e.name).string().c_str());
            return 1;
        }
    if (preview) WriteFile(dir / "model-preview.tga", kv::gen::EncodeTga(kv::gen::ModelPreview(parts, debris, textures)));
    return 0;
}
