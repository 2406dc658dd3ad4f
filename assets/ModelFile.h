#pragma once
// The ".3d" model file: named objects in a right-handed Z-up frame measured in inches.
// The loader checks every count, length and index against the bytes the stream holds,
// so a damaged file is refused with a message instead of being half-read.

#include <cstdint>
#include <vector>

#include "core/KvString.h"
#include "core/Stream.h"

namespace kv {

struct KvModelVec3f {
    float x = 0, y = 0, z = 0;
};

// Read in full and kept, but nothing in the game uses it.
struct KvModelMaterial {
    KvString name;
    float colours[3][3] = {};
    float values[4] = {};
    KvFile textureFile;
};

// One triangle, stored as 22 little-endian words.
struct KvModelFace {
    uint32_t vertex[3] = {};
    uint32_t unused0[4] = {};
    uint32_t textureVertex[3] = {};
    uint32_t unused1[3] = {};
    KvModelVec3f normal[3];
};
static_assert(sizeof(KvModelFace) == 88, "a face record is 88 bytes on disk");

struct KvModelObject {
    KvString name;
    KvString secondName;
    // Rows 0-2: the object's X, Y and Z axes; row 3: its position in inches.
    float placement[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    uint32_t flags = 0;
    std::vector<KvModelVec3f> vertices;         // model frame, inches
    std::vector<KvModelVec3f> textureVertices;  // u, v and an unused w
    std::vector<KvModelFace> faces;
};

class KvModelFile {
public:
    // Reads a whole model file. On failure returns false, leaves the file empty and puts a
    // message naming the offending object or field into error.
    bool Load(KvIStream& in, KvString& error);

    // The first object whose name equals name byte for byte, or null.
    const KvModelObject* FindObject(const KvString& name) const;

    const std::vector<KvModelMaterial>& Materials() const { return materials_; }
    const std::vector<KvModelObject>& Objects() const { return objects_; }

private:
    std::vector<KvModelMaterial> materials_;
    std::vector<KvModelObject> objects_;
};

// Checks that every face index of object lies inside its vertex and texture-vertex lists.
// Returns false with a message naming the face when one does not.
bool CheckFaceIndices(const KvModelObject& object, KvString& error);

}  // namespace kv
