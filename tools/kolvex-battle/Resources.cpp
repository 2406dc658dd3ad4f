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
    // The body's local y axis runs along the heading and x across it; scene units to arena units.
    geometry.width = 100 * (body->BoxMax().x - body->BoxMin().x);
    geometry.length = 100 * (body->BoxMax().y - body->BoxMin().y);
    geometry.turretLocal = parts[KvModelParts::kTurret].node.local;
    // The shell in the barrel hangs from the turret through parts 3, 8 and 9.
    KvMatrix muzzle = parts[KvModelParts::kTurretTop].node.local;
    for (int part : {8, 9, static_cast<int>(KvModelParts::kShell)}) muzzle = Product(muzzle, parts[part].node.local);
    geometry.muzzleLocal = muzzle;
    return true;
}

#else

bool LoadRobotGeometry(const KvFile& archive, RobotGeometry& geometry, KvString& error) {
    error = "this build has no resource loader";
    return false;
}

#endif

}  // namespace kv
