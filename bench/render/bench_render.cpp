// Frame cost at the game's start-up size, 950 x 600, offscreen: the ground alone in the main
// view, and with four live robot views and their panels. Each iteration is one whole
// frame, finished before the clock stops. And a seek of the battle stage from the start to
// 600 s of the four sample robots' battle, with its shells, marks and deaths; and the
// worker's ticks with the robot inspector closed and open.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "assets/ResourceStore.h"
#include "render/TextureSet.h"
#include "core/Random.h"
#include "render/Ground.h"
#include "stage/OffscreenContext.h"
#include "render/Scene.h"
#include "stage/BattleStage.h"

namespace {

struct Setting {
    kv::OffscreenContext context;
    kv::ResourceStore store;
    kv::KvTextureSet textures;
    bool ready = false;
    Setting() {
        if (!context.Create(950, 600)) return;
        store.Mount(KV_GAME_ARCHIVE);
        ready = store.LoadAll();
        if (ready) textures.Create(store);
    }
};

Setting& TheSetting() {
    static Setting setting;
    return setting;
}

void DrawFrames(benchmark::State& state, int robotViews) {
    Setting& s = TheSetting();
    if (!s.ready) {
        state.SkipWithError("no offscreen OpenGL context or no archive");
        return;
    }
    kv::KvGround ground;
    kv::SeedRandom(3);
    ground.GenerateHills();
    kv::KvScene scene;
    kv::RenderSettings settings;
    settings.oneViewActive = 0;
    scene.SetSettings(&settings);
    scene.Init(s.context, &ground, &s.textures);
    scene.Panels().ShowFrameRate(true);
    kv::View main(kv::ViewKind::Main);
    main.SetWindow(&s.context);
    main.camera.Orbit(0.0, 0.7);
    scene.AddView(&main);
    std::vector<std::unique_ptr<kv::KvGLRobot>> robots;
    std::vector<std::unique_ptr<kv::View>> views;
    for (int i = 0; i < robotViews; ++i) {
        robots.push_back(std::make_unique<kv::KvGLRobot>("robot.r", i));
        robots.back()->SetPosition({200.0 + 200 * i, 300.0 + 100 * i});
        views.push_back(std::make_unique<kv::View>(kv::ViewKind::Robot));
        kv::View& v = *views.back();
        v.SetRobot(robots.back().get());
        const double x = kv::SceneX(robots.back()->position.x), z = kv::SceneZ(robots.back()->position.y);
        const double h = ground.HeightAt(x, z);
        v.camera.eye = {x + 1.0, h + 1.7, z - 1.0};
        v.camera.target = {x, h + 0.3, z};
        scene.AddView(&v);
    }
    for (auto _ : state) scene.Render();
}

void GroundOnlyMainView(benchmark::State& state) { DrawFrames(state, 0); }
BENCHMARK(GroundOnlyMainView)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void MainViewAndFourRobotViews(benchmark::State& state) { DrawFrames(state, 4); }
BENCHMARK(MainViewAndFourRobotViews)->Unit(benchmark::kMillisecond)->MinTime(2.0);

std::vector<kv::KvFile> SampleRobots() {
    std::vector<kv::KvFile> files;
    for (const char* name : {"sentinel.r", "hunter.r", "spiral.r", "pendulum.r"})
        files.emplace_back((std::string(KV_SAMPLE_ROBOTS) + "/" + name).c_str());
    return files;
}

// A stage in the benchmarks' setting; null, with the benchmark skipped, without one.
std::unique_ptr<kv::KvBattleStage> StageOrSkip(benchmark::State& state) {
    Setting& s = TheSetting();
    if (!s.ready) {
        state.SkipWithError("no offscreen OpenGL context or no archive");
        return nullptr;
    }
    return std::make_unique<kv::KvBattleStage>(s.context, s.store, &s.textures);
}

void SeekTo600Seconds(benchmark::State& state) {
    const auto held = StageOrSkip(state);
    if (!held) return;
    kv::KvBattleStage& stage = *held;
    const std::vector<kv::KvFile> files = SampleRobots();
    if (!stage.StartBattle(files, 7)) {
        state.SkipWithError(stage.Error().CStr());
        return;
    }
    for (auto _ : state) {
        stage.SeekTo(600);
        stage.SeekTo(0);  // back at the start, so that each seek runs the whole way
    }
    int dead = 0;
    for (double t : stage.DeathTimes()) dead += t >= 0 ? 1 : 0;
    state.counters["deaths"] = dead;
}
BENCHMARK(SeekTo600Seconds)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The worker's ticks of the four sample robots' first minute of battle, unpaced, with the
// robot inspector closed (0), open on a robot (1) and read ten times a second by another
// thread as the inspector window reads it, or open with a breakpoint set as well (2).
void WorkerTicks(benchmark::State& state) {
    const auto held = StageOrSkip(state);
    if (!held) return;
    kv::KvBattleStage& stage = *held;
    const std::vector<kv::KvFile> files = SampleRobots();
    const bool open = state.range(0) >= 1;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (open && !done.load()) {
            benchmark::DoNotOptimize(stage.Inspector().View().machine.line);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    int64_t ticks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!stage.StartBattle(files, 7)) state.SkipWithError(stage.Error().CStr());
        stage.Inspect(open ? 1 : -1);
        // A breakpoint on a comment never stops, but every instruction is watched for it.
        if (state.range(0) == 2) stage.Inspector().SetBreakpoint(1, true);
        state.ResumeTiming();
        for (int i = 0; i < 60000; ++i) ticks += stage.WorkerTick() ? 1 : 0;
    }
    done = true;
    reader.join();
    state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kIsRate);
}
BENCHMARK(WorkerTicks)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace
