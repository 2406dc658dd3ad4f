#include "Resources.h"

#ifdef KV_HAVE_ASSETS
#include "assets/ResourceStore.h"
#endif

namespace kv {

#ifdef KV_HAVE_ASSETS

bool LoadRobotGeometry(const KvFile& archive, RobotGeometry& geometry, KvString& error) {
    ResourceStore store;
    store.Mount(archive);
    if (!store.LoadHeadless(false)) {
        error.Format("cannot load '%s' from %s: %s", store.MissingEntry().CStr(), archive.CStr(),
                     store.LoadError().CStr());
        return false;
    }
    KvModelParts& parts = store.RobotParts();
    const KvMesh* body = parts[KvModelParts::kBody].mesh;
    if (!body) {
        error.Format("%s holds no robot body", archive.CStr());
        return false;
    }
    geometry = RobotGeometry::FromModel(body->BoxMin(), body->BoxMax(), parts[KvModelParts::kTurret].node.local,
                                        parts[KvModelParts::kTurretTop].node.local, parts[8].node.local,
                                        parts[9].node.local, parts[KvModelParts::kShell].node.local);
    return true;
}

#else

bool LoadRobotGeometry(const KvFile& archive, RobotGeometry& geometry, KvString& error) {
    error = "this build has no resource loader";
    return false;
}

#endif

}  // namespace kv
