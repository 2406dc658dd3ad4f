#include "assets/ModelFile.h"

#include <cstring>
#include <type_traits>

namespace kv {

namespace {

constexpr uint32_t kVec3Bytes = 12;
constexpr uint32_t kFaceBytes = 88;
// The smallest possible records, used to refuse counts the stream cannot hold before
// anything is allocated: a material is four empty strings' worth of lengths plus 52 bytes
// of floats, an object two empty names, the placement, the flags word and three counts.
constexpr uint32_t kMinMaterialBytes = 4 + 36 + 16 + 4;
constexpr uint32_t kMinObjectBytes = 4 + 4 + 48 + 4 + 4 + 4 + 4;

// Reads fields in order and remembers the first failure, so the loader reads as the layout.
class FieldReader {
public:
    FieldReader(KvIStream& in, KvString& error) : in_(in), error_(error) {}

    bool Ok() const { return ok_; }

    uint32_t Remaining() {
        int32_t pos = in_.GetPos();
        if (pos < 0 || static_cast<uint32_t>(pos) > in_.size) return 0;
        return in_.size - static_cast<uint32_t>(pos);
    }

    bool Bytes(void* out, uint32_t count, const char* what) {
        if (!ok_) return false;
        if (count > Remaining() || in_.Read(out, count) != static_cast<int32_t>(count)) return Fail(what, "ends early");
        return true;
    }

    bool U32(uint32_t& out, const char* what) { return Bytes(&out, 4, what); }

    bool String(KvString& out, const char* what) {
        if (!ok_) return false;
        if (!ReadString(in_, out)) return Fail(what, "ends early");
        return true;
    }

    // Reads a count and checks that count records of at least recordBytes each fit in the rest.
    bool Count(uint32_t& out, uint32_t recordBytes, const char* what) {
        if (!U32(out, what)) return false;
        if (static_cast<uint64_t>(out) * recordBytes > Remaining()) return Fail(what, "is larger than the file holds");
        return true;
    }

    template <typename T>
    bool List(std::vector<T>& out, uint32_t recordBytes, const char* what) {
        uint32_t n = 0;
        if (!Count(n, recordBytes, what)) return false;
        out.resize(n);
        static_assert(std::is_trivially_copyable_v<T>);
        return n == 0 || Bytes(out.data(), n * recordBytes, what);
    }

    bool Fail(const char* what, const char* problem) {
        if (ok_) {
            error_ = KvString(context_.CStr()).Concat(what).Concat(" ").Concat(problem);
        }
        ok_ = false;
        return false;
    }

    void SetContext(const KvString& context) { context_ = context; }

private:
    KvIStream& in_;
    KvString& error_;
    KvString context_;
    bool ok_ = true;
};

}  // namespace

bool CheckFaceIndices(const KvModelObject& object, KvString& error) {
    const uint64_t vertexCount = object.vertices.size();
    const uint64_t textureCount = object.textureVertices.size();
    for (std::size_t f = 0; f < object.faces.size(); ++f) {
        const KvModelFace& face = object.faces[f];
        for (int c = 0; c < 3; ++c) {
            if (face.vertex[c] >= vertexCount) {
                error.Format("object \"%s\": face %zu uses vertex %u of %llu", object.name.CStr(), f, face.vertex[c],
                             static_cast<unsigned long long>(vertexCount));
                return false;
            }
            if (face.textureVertex[c] >= textureCount) {
                error.Format("object \"%s\": face %zu uses texture vertex %u of %llu", object.name.CStr(), f,
                             face.textureVertex[c], static_cast<unsigned long long>(textureCount));
                return false;
            }
        }
    }
    return true;
}

bool KvModelFile::Load(KvIStream& in, KvString& error) {
    materials_.clear();
    objects_.clear();
    if (!in.IsOpen()) {
        error = "the model file is not open";
        return false;
    }
    FieldReader r(in, error);

    uint32_t materialCount = 0;
    r.Count(materialCount, kMinMaterialBytes, "material count");
    std::vector<KvModelMaterial> materials(r.Ok() ? materialCount : 0);
    for (uint32_t i = 0; r.Ok() && i < materialCount; ++i) {
        KvModelMaterial& m = materials[i];
        KvString context;
        context.Format("material %u: ", i);
        r.SetContext(context);
        KvString texture;
        r.String(m.name, "name");
        r.Bytes(m.colours, sizeof m.colours, "colours");
        r.Bytes(m.values, sizeof m.values, "values");
        r.String(texture, "texture name");
        m.textureFile = KvFile(texture);
    }

    r.SetContext("");
    uint32_t objectCount = 0;
    r.Count(objectCount, kMinObjectBytes, "object count");
    std::vector<KvModelObject> objects;
    for (uint32_t i = 0; r.Ok() && i < objectCount; ++i) {
        KvModelObject& o = objects.emplace_back();
        KvString context;
        context.Format("object %u: ", i);
        r.SetContext(context);
        if (!r.String(o.name, "name")) break;
        context.Format("object %u \"%s\": ", i, o.name.CStr());
        r.SetContext(context);
        r.String(o.secondName, "second name");
        r.Bytes(o.placement, sizeof o.placement, "placement");
        r.U32(o.flags, "flags");
        r.List(o.vertices, kVec3Bytes, "vertex list");
        r.List(o.textureVertices, kVec3Bytes, "texture-vertex list");
        r.List(o.faces, kFaceBytes, "face list");
        if (r.Ok() && !CheckFaceIndices(o, error)) {
            r.SetContext("");
            return false;
        }
    }
    if (!r.Ok()) return false;
    materials_ = std::move(materials);
    objects_ = std::move(objects);
    return true;
}

const KvModelObject* KvModelFile::FindObject(const KvString& name) const {
    for (const KvModelObject& o : objects_)
        if (o.name.Equals(name)) return &o;
    return nullptr;
}

}  // namespace kv
