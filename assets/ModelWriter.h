#pragma once
// Writes the ".3d" model format that KvModelFile::Load reads, field for field. The asset
// generator and the tests use it, so both always agree with the loader.

#include <vector>

#include "assets/ModelFile.h"
#include "core/Stream.h"

namespace kv {

// Returns false when the stream refused a write.
bool WriteModelFile(KvOStream& out, const std::vector<KvModelMaterial>& materials,
                    const std::vector<KvModelObject>& objects);

}  // namespace kv
