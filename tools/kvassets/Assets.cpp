#include "tools/kvassets/Assets.h"

#include <map>
#include <memory>

#include "assets/Image.h"
#include "assets/Mesh.h"
#include "assets/ModelWriter.h"
#include "assets/ResourceList.h"
#include "tools/kvassets/RobotModel.h"
#include "tools/kvassets/Sounds.h"
#include "tools/kvassets/Textures.h"

namespace kv::gen {

namespace {

constexpr int kJpegQuality = 90;

// What each sound key sounds like.
const std::pair<const char*, Sound (*)()> kSoundMakers[] = {
    {"motor", EngineLoop},       {"SmallExplosion", SmallExplosion}, {"rocket", RocketFlight},
    {"GreatExplosion", GreatExplosion}, {"hit", DebrisHit},           {"collision", Collision},
};

// The paint of each robot colour, by colour index.
const Rgba kPaints[kColourCount] = {{0.72f, 0.12f, 0.08f, 1}, {0.2f, 0.55f, 0.14f, 1}, {0.12f, 0.28f, 0.7f, 1}, {0.66f, 0.12f, 0.6f, 1}};

std::vector<uint8_t> ModelBytes(const std::vector<KvModelObject>& objects, const std::vector<const char*>& textureNames) {
    std::vector<KvModelMaterial> materials;
    for (const char* name : textureNames) {
        KvModelMaterial m;
        m.name = name;
        m.colours[0][0] = m.colours[0][1] = m.colours[0][2] = 0.2f;  // ambient
        m.colours[1][0] = m.colours[1][1] = m.colours[1][2] = 0.8f;  // diffuse
        m.colours[2][0] = m.colours[2][1] = m.colours[2][2] = 0.3f;  // specular
        m.values[0] = 16.0f;
        m.textureFile = KvString(name).Concat(".jpg");
        materials.push_back(m);
    }
    KvElasticMemOStream out;
    WriteModelFile(out, materials, objects);
    return std::vector<uint8_t>(out.Data(), out.Data() + out.size);
}

}  // namespace

TextureSet AllTextures() {
    TextureSet t;
    t.emplace("flame", FlameSprite());
    t.emplace("smoke", SmokeSprite());
    t.emplace("mark", MarkSprite());
    t.emplace("grass", GrassTexture(false));
    t.emplace("dark.grass", GrassTexture(true));
    for (int i = 0; i < kColourCount; ++i) {
        t.emplace(kRobotColours[i].shellTexture, ShellTexture(kPaints[i]));
        t.emplace(kRobotColours[i].bodyTexture, BodyTexture(kPaints[i], 300u + static_cast<uint32_t>(i)));
    }
    t.emplace("detal.02", GunmetalTexture());
    t.emplace("detal.03", PodTexture());
    t.emplace("detal.04", SteelTexture());
    t.emplace("wheel", WheelTexture());
    return t;
}

std::vector<uint8_t> RobotModelFile() { return ModelBytes(RobotObjects(), {"body", "detal.02", "detal.03", "detal.04", "wheel"}); }

std::vector<uint8_t> DebrisModelFile() { return ModelBytes(DebrisObjects(), {"body", "detal.04", "wheel"}); }

std::vector<Entry> AllEntries() {
    std::vector<Entry> entries;
    const TextureSet textures = AllTextures();
    for (const ResourceItem& item : kResourceList) {
        const std::string name = item.entry ? item.entry : "";
        switch (item.kind) {
            case ResourceKind::Sound:
                for (const auto& [key, make] : kSoundMakers)
                    if (KvString(key) == item.key) entries.push_back({name, EncodeWav(make())});
                break;
            case ResourceKind::Texture: {
                const Image& img = textures.at(item.key);
                const bool tga = ImageFormatOf(item.entry) == ImageFormat::Tga;
                entries.push_back({name, tga ? EncodeTga(img) : EncodeJpeg(img, kJpegQuality)});
                break;
            }
            case ResourceKind::ModelFile:
                entries.push_back({name, name == "robot.3d" ? RobotModelFile() : DebrisModelFile()});
                break;
            default: break;
        }
    }
    entries.push_back({kSplashEntry, {}});
    return entries;
}

}  // namespace kv::gen
