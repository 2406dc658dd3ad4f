#include "assets/ModelWriter.h"

namespace kv {

namespace {

class FieldWriter {
public:
    explicit FieldWriter(KvOStream& out) : out_(out) {}
    bool Ok() const { return ok_; }

    void Bytes(const void* data, std::size_t count) {
        if (ok_ && count > 0) ok_ = out_.Write(data, static_cast<uint32_t>(count)) == static_cast<int32_t>(count);
    }
    void U32(uint32_t value) { Bytes(&value, 4); }
    void String(const KvString& s) {
        uint32_t n = static_cast<uint32_t>(s.Length());
        U32(n);
        Bytes(s.CStr(), n);
    }
    template <typename T>
    void List(const std::vector<T>& items) {
        U32(static_cast<uint32_t>(items.size()));
        Bytes(items.data(), items.size() * sizeof(T));
    }

private:
    KvOStream& out_;
    bool ok_ = true;
};

}  // namespace

bool WriteModelFile(KvOStream& out, const std::vector<KvModelMaterial>& materials,
                    const std::vector<KvModelObject>& objects) {
    FieldWriter w(out);
    w.U32(static_cast<uint32_t>(materials.size()));
    for (const KvModelMaterial& m : materials) {
        w.String(m.name);
        w.Bytes(m.colours, sizeof m.colours);
        w.Bytes(m.values, sizeof m.values);
        w.String(m.textureFile);
    }
    w.U32(static_cast<uint32_t>(objects.size()));
    for (const KvModelObject& o : objects) {
        w.String(o.name);
        w.String(o.secondName);
        w.Bytes(o.placement, sizeof o.placement);
        w.U32(o.flags);
        w.List(o.vertices);
        w.List(o.textureVertices);
        w.List(o.faces);
    }
    return w.Ok();
}

}  // namespace kv
