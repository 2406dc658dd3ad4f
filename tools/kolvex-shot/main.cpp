// kolvex-shot: draws a battle of robot files offscreen, as the game's window shows it.
//
//   kolvex-shot [options] ROBOT.r... -o OUT.png
//   kolvex-shot [options] --battle BATTLE.kvb -o OUT.png
//
// The battle is the one kolvex-battle runs (same seed, dt and files give the same battle),
// ticked on this thread and drawn through the game's own battle stage, smoke, fire and wrecks
// included, into an offscreen OpenGL context. As in the game, it goes on once decided.
// Same options and seed give the same picture byte for byte (with --no-fps).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "BattleCommand.h"
#include "sim/BattleReport.h"
#include "assets/ResourceStore.h"
#include "render/Picture.h"
#include "render/TextureSet.h"
#include "stage/BattleStage.h"
#include "stage/OffscreenContext.h"

namespace {

using namespace kv;

constexpr int kNoGlContext = 4;
constexpr double kFrameInterval = 1.0 / 60;  // simulated seconds between benchmark frames

void Usage(std::FILE* out) {
    std::fputs(
        "usage: kolvex-shot [options] ROBOT.r [ROBOT.r ...] -o OUT.png\n"
        "       kolvex-shot [options] --battle BATTLE.kvb -o OUT.png\n"
        "Runs a battle of one to four robot files as kolvex-battle does, then draws the\n"
        "game's whole frame (main view, robot views, status panels) offscreen into a PNG.\n"
        "A battle file (given alone, by --battle or a name ending in .kvb) gives the seed,\n"
        "dt and robots with the programs it holds: --at T draws the moment the game shows\n"
        "after a seek to T.\n"
        "\n"
        "  -o PATH         the picture to write (needed unless --frames is given)\n"
        "  --seed N        seed of the random numbers (default: from the clock)\n"
        "  --dt D          fixed tick in seconds, 0 < D <= 0.3 (default 0.001)\n"
        "  --battle FILE   a battle file in place of the robot files\n"
        "  --at T          simulated seconds before the first frame (default 5)\n"
        "  --size WxH      picture size in pixels (default 950x600)\n"
        "  --yaw Y         main camera's turn round the arena in radians (default 0)\n"
        "  --pitch P       main camera's height angle in radians, 0.1..1.47 (default 0.7)\n"
        "  --views one|all only the first frame's robot views live, then frozen as in the\n"
        "                  game's one-view layout (default), or all live every frame\n"
        "  --shadow off|stencil|map  no shadows (default), stencil shadow volumes in the\n"
        "                  main view, or shadow maps on the ground in every view\n"
        "  --frames K      draw K frames, the battle advancing about 1/60 s between them,\n"
        "                  and print the frame times as the last line\n"
        "  --json          also print the battle report as kolvex-battle --json does, for\n"
        "                  the simulated time of the last frame (or when it was decided)\n"
        "  --no-fps        leave the frame counter out of the picture\n"
        "  --archive PATH  the resource archive (default: Kolvex.kvfs here, else beside the\n"
        "                  program's build folder)\n"
        "  --help          this text\n"
        "\n"
        "Exit status: 0 done, 1 a robot file cannot be opened or compiled (the game's\n"
        "message on standard error) or the picture cannot be written, 2 bad options, 3 the\n"
        "resource archive cannot be read, 4 no OpenGL context can be made.\n",
        out);
}

struct Options {
    BattleCommand command;
    std::string output;
    double at = 5;
    int32_t width = 950, height = 600;
    double yaw = 0, pitch = 0.7;
    int32_t oneViewActive = 1;
    int32_t shadowMode = 0;
    long long frames = 0;  // 0: one frame, no benchmark line
    bool showFps = true;
};

bool ParseSize(const char* text, int32_t& width, int32_t& height) {
    if (!text) return false;
    const std::string s = text;
    const size_t x = s.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos || !ParseCount(s.substr(0, x).c_str(), 16, 8192, w) ||
        !ParseCount(s.substr(x + 1).c_str(), 16, 8192, h))
        return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

std::string Text(const char* value) { return value ? value : ""; }

int Parse(int argc, char** argv, Options& o) {
    o.command.program = "kolvex-shot";
    o.command.usage = Usage;
    const int status = ParseBattleCommand(argc, argv, o.command, [&](const std::string& arg, ArgCursor& args) {
        double d = 0;
        if (arg == "-o" || arg == "--output") {
            const char* path = args.Value();
            if (!path) return args.Fail("-o needs a path");
            o.output = path;
        } else if (arg == "--at") {
            if (!ParseNumber(args.Value(), d) || !(d >= 0 && d <= 1e7))
                return args.Fail("--at needs simulated seconds from 0 to 10000000");
            o.at = d;
        } else if (arg == "--size") {
            if (!ParseSize(args.Value(), o.width, o.height))
                return args.Fail("--size needs WIDTHxHEIGHT, each 16..8192 pixels");
        } else if (arg == "--yaw") {
            if (!ParseNumber(args.Value(), d) || !std::isfinite(d)) return args.Fail("--yaw needs radians");
            o.yaw = d;
        } else if (arg == "--pitch") {
            if (!ParseNumber(args.Value(), d) || !std::isfinite(d)) return args.Fail("--pitch needs radians");
            o.pitch = d;
        } else if (arg == "--views") {
            const std::string v = Text(args.Value());
            if (v == "one") o.oneViewActive = 1;
            else if (v == "all") o.oneViewActive = 0;
            else return args.Fail("--views needs one or all");
        } else if (arg == "--shadow") {
            const std::string v = Text(args.Value());
            if (v == "off") o.shadowMode = 0;
            else if (v == "stencil") o.shadowMode = 1;
            else if (v == "map") o.shadowMode = 2;
            else return args.Fail("--shadow needs off, stencil or map");
        } else if (arg == "--frames") {
            if (!ParseCount(args.Value(), 1, 1000000, o.frames)) return args.Fail("--frames needs a count of 1 or more");
        } else if (arg == "--no-fps") {
            o.showFps = false;
        } else {
            return -2;
        }
        return -1;
    });
    if (status >= 0) return status;
    const double last = o.at + static_cast<double>(std::max(1LL, o.frames)) * kFrameInterval;
    if (int tooMany = -1; !TicksFit(o.command, last, "--at", tooMany)) return tooMany;
    if (o.output.empty() && o.frames == 0) {
        std::fprintf(stderr, "kolvex-shot: give -o OUT.png (or --frames K)\n");
        Usage(stderr);
        return kUsageError;
    }
    return -1;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The frame benchmark's line: median and 90th percentile of the frame times.
std::string FrameLine(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p90 = ms[std::min(ms.size() - 1, ms.size() * 9 / 10)];
    char line[160];
    std::snprintf(line, sizeof line, "frames %zu  median %.2f ms  p90 %.2f ms  fps %.1f\n", ms.size(), median, p90,
                  1000 / median);
    return line;
}

int Shoot(const Options& o) {
    const HeadlessBattleOptions& options = o.command.battle;
    // The robot files are checked first, so that a wrong one reads as kolvex-battle says it.
    HeadlessBattleOptions check = options;
    check.time = 0;
    if (const BattleOutcome outcome = RunHeadlessBattle(check); !outcome.ok) return ReportSetupError(outcome.error);

    OffscreenContext context;
    if (!context.Create(o.width, o.height)) {
        std::fprintf(stderr, "kolvex-shot: no OpenGL context: %s\n", context.Error().c_str());
        return kNoGlContext;
    }
    ResourceStore store;
    store.Mount(o.command.archive.c_str());
    if (!store.LoadAll()) {
        std::fprintf(stderr, "kolvex-shot: %s\n", store.Error().CStr());
        return kResourceError;
    }
    for (const KvString& line : store.MediaProblems())
        std::fprintf(stderr, "kolvex-shot: %s\n", line.CStr());
    KvTextureSet textures;
    textures.Create(store);

    int status = 0;
    {
        KvBattleStage stage(context, store, &textures, options.dt);
        stage.SetSettings({o.oneViewActive, o.shadowMode, false});
        stage.Scene().Panels().ShowFrameRate(o.showFps);
        stage.SetCamera(o.yaw, o.pitch);
        const bool started = options.choices ? stage.StartBattle(*options.choices, options.seed)
                                             : stage.StartBattle(options.files, options.seed);
        if (!started) return ReportSetupError(stage.Error());
        stage.RunUntil(o.at);

        const long long frames = std::max(1LL, o.frames);
        const int64_t ticksPerFrame = std::max<int64_t>(1, std::llround(kFrameInterval / options.dt));
        std::vector<double> ms;
        for (long long k = 0; k < frames; ++k) {
            if (k > 0) stage.Advance(ticksPerFrame);
            const auto start = std::chrono::steady_clock::now();
            stage.Render();
            ms.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
        }
        if (!o.output.empty() && !WritePng(ReadPicture(0, 0, o.width, o.height), o.output)) {
            std::fprintf(stderr, "kolvex-shot: cannot write %s\n", o.output.c_str());
            status = kOutputError;
        }
        if (o.command.json) std::fputs(BattleJson(options, stage.Outcome()).c_str(), stdout);
        if (o.frames > 0) std::fputs(FrameLine(ms).c_str(), stdout);
    }
    textures.Release();
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemory();
    Options o;
    if (const int status = Parse(argc, argv, o); status >= 0) return status;
    if (o.command.battleFile) {
        if (const int status = LoadCommandBattle(o.command); status >= 0) return status;
    }
    if (const int status = PrepareBattle(o.command, argv[0]); status >= 0) return status;
    return Shoot(o);
}
