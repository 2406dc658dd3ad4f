// Loads any bytes as a model file. A file that loads must build every object into a mesh,
// survive part-table binding with whatever names it holds, and write back into a file that
// loads the same; anything else must be refused without touching memory it does not own.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "assets/DebrisParts.h"
#include "assets/Mesh.h"
#include "assets/ModelFile.h"
#include "assets/ModelParts.h"
#include "assets/ModelWriter.h"
#include "core/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::KvMemIStream in(data, static_cast<uint32_t>(size));
    kv::KvModelFile file;
    kv::KvString error;
    if (!file.Load(in, error)) {
        if (error.Length() == 0 || !file.Objects().empty()) __builtin_trap();
        return 0;
    }
    std::map<std::string, std::unique_ptr<kv::KvMesh>> meshes;
    for (const kv::KvModelObject& o : file.Objects()) {
        auto mesh = std::make_unique<kv::KvMesh>();
        if (!mesh->BuildFrom(o) || mesh->CornerCount() != 3 * o.faces.size()) __builtin_trap();
        meshes.emplace(o.name.Std(), std::move(mesh));
    }
    auto lookup = [&](const kv::KvString& key) -> kv::KvMesh* {
        auto it = meshes.find(key.Std());
        return it == meshes.end() ? nullptr : it->second.get();
    };
    kv::KvModelParts parts;
    if (parts.Bind(lookup, error)) {
        kv::KvModelParts robot = parts;
        kv::KvVec3 lo, hi;
        robot.BoundingBox(lo, hi);
        robot.UpdateLightDirections();
    }
    kv::KvDebrisParts debris;
    if (debris.Build(lookup, error)) {
        kv::KvDebrisParts wreck = debris;
        wreck.PlaceAndDetach(kv::KvDebrisParts::RootMatrix(1, 2, 3, 45));
    }

    kv::KvElasticMemOStream out;
    if (!kv::WriteModelFile(out, file.Materials(), file.Objects())) __builtin_trap();
    kv::KvMemIStream again(out.Data(), out.size);
    kv::KvModelFile copy;
    if (!copy.Load(again, error) || copy.Objects().size() != file.Objects().size() ||
        copy.Materials().size() != file.Materials().size())
        __builtin_trap();
    return 0;
}
