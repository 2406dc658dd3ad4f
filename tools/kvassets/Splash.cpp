#include "tools/kvassets/Splash.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets/ResourceList.h"
#include "core/Angles.h"
#include "tools/kvassets/Render.h"

namespace kv::gen {

namespace {

// Five columns by seven rows per glyph, one string per row, '#' set.
struct Glyph {
    char c;
    const char* rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
};

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kFont)
        if (g.c == c) return &g;
    return nullptr;
}

KvMatrix RotationZ(double angle) {
    // About the local z axis, the way the robot turns its turret and scanner.
    KvMatrix r = Identity();
    r[0] = std::cos(angle);
    r[1] = -std::sin(angle);
    r[4] = std::sin(angle);
    r[5] = std::cos(angle);
    return r;
}

const Image* Find(const TextureSet& textures, const char* key) {
    auto it = textures.find(key ? key : "");
    return it == textures.end() ? nullptr : &it->second;
}

void AddGround(std::vector<RenderTri>& tris, const Image* grass, double half, double repeats) {
    const KvVec3 corners[4] = {{-half, 0, -half}, {half, 0, -half}, {half, 0, half}, {-half, 0, half}};
    const double uv[4][2] = {{0, 0}, {repeats, 0}, {repeats, repeats}, {0, repeats}};
    const int order[2][3] = {{0, 2, 1}, {0, 3, 2}};
    for (const auto& o : order) {
        RenderTri t{};
        for (int k = 0; k < 3; ++k) {
            t.p[k] = corners[o[k]];
            t.n[k] = {0, 1, 0};
            t.uv[k][0] = uv[o[k]][0];
            t.uv[k][1] = uv[o[k]][1];
        }
        t.texture = grass;
        tris.push_back(t);
    }
}

void Sky(Image& img, int horizon) {
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const double t = std::clamp(static_cast<double>(y) / horizon, 0.0, 1.0);
            Rgba c = Mix(Rgba{0.12f, 0.22f, 0.45f, 1}, Rgba{0.95f, 0.72f, 0.45f, 1}, std::pow(t, 2.2));
            // Soft cloud bands.
            const double cloud = TiledFbm(static_cast<double>(x) / img.width, static_cast<double>(y) / horizon, 4, 5, 1201);
            c = Mix(c, Rgba{1.0f, 0.9f, 0.8f, 1}, std::clamp((cloud - 0.5) * 3.0, 0.0, 0.75) * (0.3 + 0.7 * t));
            img.At(x, y) = c;
        }
}

// Lays a sprite over the picture centred at (cx, cy), size pixels across, tinted; additive
// for fire, ordinary alpha blending for smoke.
void Composite(Image& img, const Image& sprite, double cx, double cy, double size, Rgba tint, bool additive) {
    const int x0 = static_cast<int>(cx - size / 2), y0 = static_cast<int>(cy - size / 2);
    for (int y = std::max(0, y0); y < std::min(img.height, y0 + static_cast<int>(size)); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width, x0 + static_cast<int>(size)); ++x) {
            const int sx = static_cast<int>((x - x0) / size * sprite.width);
            const int sy = static_cast<int>((y - y0) / size * sprite.height);
            const Rgba s = sprite.pixels[static_cast<std::size_t>(sy * sprite.width + sx)];
            const float a = s.a * tint.a;
            Rgba& d = img.At(x, y);
            if (additive) {
                d = Rgba{std::min(1.0f, d.r + s.r * tint.r * a), std::min(1.0f, d.g + s.g * tint.g * a),
                         std::min(1.0f, d.b + s.b * tint.b * a), 1};
            } else {
                d = Mix(d, Rgba{s.r * tint.r, s.g * tint.g, s.b * tint.b, 1}, a);
            }
        }
}

// A shell burst on the ground: a smoke column with fire at its foot, made of the game's sprites.
void Explosion(Image& img, const Rasteriser& r, const TextureSet& textures, KvVec3 at, uint32_t seed) {
    const Image* smoke = Find(textures, "smoke");
    const Image* flame = Find(textures, "flame");
    if (!smoke || !flame) return;
    double x, y, depth;
    for (int i = 0; i < 26; ++i) {
        const double rise = Hash(i, 1, seed) * 0.5;
        const KvVec3 p = at + KvVec3{(Hash(i, 2, seed) - 0.5) * 0.25 * (1 + rise * 2), 0.04 + rise, (Hash(i, 3, seed) - 0.5) * 0.2};
        if (!r.Project(p, x, y, depth)) continue;
        const double size = (0.18 + rise * 0.5) * img.height / depth;
        const float g = static_cast<float>(0.25 + 0.3 * rise);
        Composite(img, *smoke, x, y, size, Rgba{g, g, g, 0.55f}, false);
    }
    for (int i = 0; i < 10; ++i) {
        const KvVec3 p = at + KvVec3{(Hash(i, 5, seed) - 0.5) * 0.2, 0.02 + Hash(i, 6, seed) * 0.12, (Hash(i, 7, seed) - 0.5) * 0.15};
        if (!r.Project(p, x, y, depth)) continue;
        Composite(img, *flame, x, y, (0.12 + Hash(i, 8, seed) * 0.1) * img.height / depth, Rgba{1.0f, 0.75f, 0.35f, 0.9f}, true);
    }
}

}  // namespace

int TextWidth(const char* text, int scale) { return static_cast<int>(std::strlen(text)) * 6 * scale - scale; }

void DrawText(Image& img, int x, int y, const char* text, int scale, Rgba colour) {
    const int height = 7 * scale;
    for (int i = 0; text[i]; ++i) {
        const Glyph* g = FindGlyph(text[i]);
        if (!g) continue;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g->rows[row][col] == '#')
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx) {
                            const int px = x + (i * 6 + col) * scale + dx, py = y + row * scale + dy;
                            if (px < 0 || py < 0 || px >= img.width || py >= img.height) continue;
                            // Bright at the top of the line, deeper towards its foot, like cast metal.
                            const double shade = 1.15 - 0.45 * (row * scale + dy) / height;
                            img.At(px, py) = Rgba{static_cast<float>(std::min(1.0, colour.r * shade)),
                                                  static_cast<float>(std::min(1.0, colour.g * shade)),
                                                  static_cast<float>(std::min(1.0, colour.b * shade)), 1};
                        }
    }
}

void DrawOutlinedText(Image& img, int x, int y, const char* text, int scale, Rgba colour, int outline) {
    const Rgba dark{0.06f, 0.05f, 0.08f, 1};
    for (int oy = -outline; oy <= outline; ++oy)
        for (int ox = -outline; ox <= outline; ++ox)
            if (ox * ox + oy * oy <= outline * outline) DrawText(img, x + ox, y + oy, text, scale, dark);
    DrawText(img, x, y, text, scale, colour);
}

void AddRobot(std::vector<RenderTri>& tris, const KvModelParts& tmpl, const TextureSet& textures, const RobotPose& pose) {
    KvModelParts parts = tmpl;
    parts.SetColour(pose.colour);
    const double h = Radians(pose.headingDegrees);
    const KvVec3 f{std::cos(h), 0, std::sin(h)}, s{-f.z, 0, f.x};
    KvMatrix body = Identity();
    body[0] = -s.x, body[1] = -s.y, body[2] = -s.z;
    body[4] = -f.x, body[5] = -f.y, body[6] = -f.z;
    body[8] = 0, body[9] = 1, body[10] = 0;
    body[12] = pose.x, body[13] = 0, body[14] = pose.z;
    parts[KvModelParts::kBody].node.local = body;
    parts[KvModelParts::kTurret].node.local = Product(parts[KvModelParts::kTurret].node.local, RotationZ(Radians(pose.turretDegrees)));
    parts[KvModelParts::kScannerHead].node.local =
        Product(parts[KvModelParts::kScannerHead].node.local, RotationZ(Radians(pose.scanDegrees)));
    for (KvModelPart& part : parts.parts)
        Rasteriser::AddMesh(tris, *part.mesh, part.node.GetWorld(), Find(textures, part.textureKey));
}

Image SplashPicture(const KvModelParts& parts, const TextureSet& textures) {
    // Painted at twice the size and filtered down, which smooths edges and distant grass.
    Image big(960, 640);
    Sky(big, 300);
    Rasteriser r(big);
    r.LookAt({0.2, 0.34, 1.3}, {-0.1, 0.2, 0.0}, 44);
    r.SetFog(Rgba{0.93f, 0.74f, 0.5f, 1}, 9.0);
    std::vector<RenderTri> tris;
    // The game's grass is painted bright for its dim ground lighting; this light is full.
    Image grass = *Find(textures, "grass");
    for (Rgba& p : grass.pixels) p = Scale(p, 0.55);
    AddGround(tris, &grass, 60, 120);
    AddRobot(tris, parts, textures, {0.05, 0.45, 195, 160, 130, 0});
    AddRobot(tris, parts, textures, {-0.85, -0.35, 40, 350, 300, 2});
    AddRobot(tris, parts, textures, {0.75, -1.3, 140, 215, 200, 1});
    AddRobot(tris, parts, textures, {-2.2, -2.9, 80, 10, 60, 3});
    r.Draw(tris);
    Explosion(big, r, textures, {-0.45, 0, -0.95}, 17);
    Explosion(big, r, textures, {1.5, 0, -2.6}, 29);
    Image img(480, 320);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.At(x, y) = Mix(Mix(big.At(2 * x, 2 * y), big.At(2 * x + 1, 2 * y), 0.5),
                               Mix(big.At(2 * x, 2 * y + 1), big.At(2 * x + 1, 2 * y + 1), 0.5), 0.5);
    // The title with a drop shadow, and the tagline.
    const char* title = "KOLVEX";
    const int scale = 9, tx = (img.width - TextWidth(title, scale)) / 2;
    DrawText(img, tx + 5, 22 + 5, title, scale, Rgba{0.05f, 0.05f, 0.1f, 1});
    DrawOutlinedText(img, tx, 22, title, scale, Rgba{1.0f, 0.8f, 0.25f, 1}, 2);
    const char* tag = "PROGRAMMED ROBOT BATTLES";
    const int tagx = (img.width - TextWidth(tag, 2)) / 2;
    DrawOutlinedText(img, tagx, 96, tag, 2, Rgba{0.95f, 0.95f, 0.95f, 1}, 1);
    // A calm band at the bottom for the version line.
    for (int y = img.height - 36; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.At(x, y) = Mix(img.At(x, y), Rgba{0.93f, 0.93f, 0.9f, 1}, y < img.height - 33 ? 0.5 : 0.88);
    return img;
}

Image ModelPreview(const KvModelParts& parts, const KvDebrisParts& debris, const TextureSet& textures) {
    Image img(800, 400);
    for (Rgba& p : img.pixels) p = Rgba{0.3f, 0.32f, 0.36f, 1};
    const double views[][2] = {{30, 0}, {150, 1}, {260, 2}, {340, 3}};
    for (int v = 0; v < 4; ++v) {
        Image tile(200, 200);
        for (Rgba& p : tile.pixels) p = Rgba{0.45f, 0.5f, 0.55f, 1};
        Rasteriser r(tile);
        const double a = Radians(views[v][0]);
        r.LookAt({0.65 * std::cos(a), 0.4, 0.65 * std::sin(a)}, {0, 0.1, 0}, 40);
        std::vector<RenderTri> tris;
        AddRobot(tris, parts, textures, {0, 0, 0, v * 40.0, v * 70.0, static_cast<int>(views[v][1])});
        r.Draw(tris);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) img.At(v * 200 + x, y) = tile.At(x, y);
    }
    // The wreck beside an intact robot, both heading 0, seen from the side and above.
    for (int v = 0; v < 2; ++v) {
        Image tile(400, 200);
        for (Rgba& p : tile.pixels) p = Rgba{0.4f, 0.45f, 0.4f, 1};
        Rasteriser r(tile);
        r.LookAt(v == 0 ? KvVec3{0.3, 0.45, 1.0} : KvVec3{0.3, 1.3, 0.05}, {0.3, 0.05, 0}, 40);
        std::vector<RenderTri> tris;
        AddRobot(tris, parts, textures, {0, 0, 0, 0, 0, 0});
        KvDebrisParts wreck = debris;
        wreck.SetBodyTexture(kRobotColours[0].bodyTexture);
        wreck.PlaceAndDetach(KvDebrisParts::RootMatrix(0.6, 0, 0, 0));
        for (KvModelPart& piece : wreck.pieces)
            Rasteriser::AddMesh(tris, *piece.mesh, piece.node.GetWorld(), Find(textures, piece.textureKey));
        r.Draw(tris);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 400; ++x) img.At(v * 400 + x, 200 + y) = tile.At(x, y);
    }
    return img;
}

}  // namespace kv::gen
