#include "tools/kvassets/Assets.h"

#include <map>
#include <memory>

#include "assets/Mesh.h"
#include "assets/ModelWriter.h"
#include "tools/kvassets/RobotModel.h"
#include "tools/kvassets/Sounds.h"
#include "tools/kvassets/Textures.h"

namespace kv::gen {

namespace {

constexpr int kJpegQuality = 90;

// Texture keys and their archive entries, in the game's load order.
const std::pair<const char*, const char*> kTextureEntries[] = {
    {"flame", "flame.tga"},
    {"smoke", "smoke.tga"},
    {"mark", "mark.tga"},
    {"grass", "GRASS2.jpg"},
    {"dark.grass", "dark.grass.jpg"},
    {"red_rocket", "red_rocket.jpg"},
    {"green_rocket", "green_rocket.jpg"},
    {"blue_rocket", "blue_rocket.jpg"},
    {"magenta_rocket", "magenta_rocket.jpg"},
    {"body_blue", "body_blue.jpg"},
    {"body_red", "body_red.jpg"},
    {"body_green", "body_green.jpg"},
    {"body_magenta", "body_magenta.jpg"},
    {"detal.02", "detal.02.jpg"},
    {"detal.03", "detal.03.jpg"},
    {"detal.04", "detal.04.jpg"},
    {"wheel", "wheel.jpg"},
};

const Rgba kPaints[4] = {{0.72f, 0.12f, 0.08f, 1}, {0.2f, 0.55f, 0.14f, 1}, {0.12f, 0.28f, 0.7f, 1}, {0.66f, 0.12f, 0.6f, 1}};

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
    const char* colours[] = {"red", "green", "blue", "magenta"};
    for (int i = 0; i < 4; ++i) {
        t.emplace(std::string(colours[i]) + "_rocket", ShellTexture(kPaints[i]));
        t.emplace(std::string("body_") + colours[i], BodyTexture(kPaints[i], 300u + static_cast<uint32_t>(i)));
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
    entries.push_back({"motor1.wav", EncodeWav(EngineLoop())});
    entries.push_back({"SmallExplosion.wav", EncodeWav(SmallExplosion())});
    entries.push_back({"rocket2.wav", EncodeWav(RocketFlight())});
    entries.push_back({"GreatExplosion.wav", EncodeWav(GreatExplosion())});
    entries.push_back({"hit.wav", EncodeWav(DebrisHit())});
    entries.push_back({"collision.wav", EncodeWav(Collision())});

    const TextureSet textures = AllTextures();
    for (const auto& [key, file] : kTextureEntries) {
        const Image& img = textures.at(key);
        const std::string name = file;
        const bool tga = name.size() > 4 && name.compare(name.size() - 4, 4, ".tga") == 0;
        entries.push_back({name, tga ? EncodeTga(img) : EncodeJpeg(img, kJpegQuality)});
    }
    entries.push_back({"robot.3d", RobotModelFile()});
    entries.push_back({"debris.3d", DebrisModelFile()});
    entries.push_back({"splash.jpg", {}});
    return entries;
}

}  // namespace kv::gen
