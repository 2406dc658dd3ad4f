// The robot inspector in the game's battle: breakpoints, steps, Back and faults land where a
// robot author expects, at the same tick in every run, and watching leaves the battle as it is.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "OffscreenGl.h"
#include "Pixels.h"
#include "StageBattle.h"
#include "sim/BattleReport.h"

namespace kv {
namespace {

const std::string kSampleRobots = KV_SAMPLE_ROBOTS;

test::GameGpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, test::kWindowWidth, test::kWindowHeight); }

// Counts by two in a function until the count passes 100, then divides by zero.
constexpr const char* kCounter =
    "int count;\n"                                              // 1
    "step(n)\n"                                                 // 2
    "{\n"                                                       // 3
    "    count = count + n;\n"                                  // 4
    "    drive(0, 0);\n"                                        // 5
    "    return count;\n"                                       // 6
    "}\n"                                                       // 7
    "main()\n"                                                  // 8
    "{\n"                                                       // 9
    "    while (1) {\n"                                         // 10
    "        step(2);\n"                                        // 11
    "        if (count > 100) count = 100 / (count - count);\n"  // 12
    "    }\n"                                                   // 13
    "}\n";                                                      // 14

// The counter in slot 0 against a sample robot, not started: the battle ticks only when a
// test ticks it.
std::unique_ptr<KvBattleStage> Started(uint32_t seed = 3) {
    auto stage = test::MakeStage(TheGpu().context, TheGpu(), {0, 0, false});
    RobotChoices choices = ChoicesOf({KvFile("counter.r"), KvFile((kSampleRobots + "/hunter.r").c_str())});
    choices[0].source = kCounter;
    EXPECT_TRUE(stage->StartBattle(choices, seed)) << stage->Error().CStr();
    stage->Inspect(0);
    return stage;
}

// Ticks until the inspector stops the battle (or a minute of battle passes).
void RunToStop(KvBattleStage& stage) { stage.Battle().TickTo(stage.Battle().Ticks() + 60000); }

int32_t ValueOf(const std::vector<KvValueView>& values, const std::string& name) {
    for (const KvValueView& v : values)
        if (v.name == name) return v.value;
    ADD_FAILURE() << "no " << name;
    return 0;
}

class Inspecting : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Ready(TheGpu(), test::kWindowWidth, test::kWindowHeight)); }
};

TEST_F(Inspecting, ABreakpointPausesAfterTheTickTheRobotArrivesAtItsLineInEveryRun) {
    std::vector<int64_t> ticks[2];
    for (auto& run : ticks) {
        auto stage = Started();
        stage->Inspector().SetBreakpoint(5, true);
        for (int hit = 0; hit < 3; ++hit) {
            RunToStop(*stage);
            ASSERT_TRUE(stage->Inspector().Stopped());
            const KvInspection view = stage->Inspector().View();
            EXPECT_EQ(view.stop, KvInspectorStop::Breakpoint);
            EXPECT_EQ(view.machine.line, 5);
            EXPECT_EQ(view.tick, stage->Battle().Ticks());
            ASSERT_EQ(view.machine.frames.size(), 2u);
            EXPECT_EQ(view.machine.frames[0].function, "step");
            EXPECT_EQ(view.machine.frames[1].function, "main");
            EXPECT_EQ(view.machine.frames[1].line, 11);
            EXPECT_EQ(ValueOf(view.machine.locals, "n"), 2);
            EXPECT_EQ(ValueOf(view.machine.globals, "count"), 2 * (hit + 1));
            run.push_back(view.tick);
            stage->Go(KvInspector::Go::Continue);
        }
    }
    EXPECT_EQ(ticks[0], ticks[1]);
    EXPECT_LT(ticks[0][0], ticks[0][1]);
}

TEST_F(Inspecting, StepsGoToTheNextLineAndOutOfTheFunctionAndBackGoesWhereTheRobotWas) {
    auto stage = Started();
    KvInspector& inspector = stage->Inspector();
    inspector.SetBreakpoint(5, true);
    RunToStop(*stage);
    inspector.SetBreakpoint(5, false);
    auto line = [&] { return inspector.View().machine.line; };

    stage->Go(KvInspector::Go::StepLine);
    EXPECT_EQ(line(), 6);
    EXPECT_EQ(inspector.View().stop, KvInspectorStop::Step);
    const int64_t onSix = stage->Battle().Ticks();
    stage->Go(KvInspector::Go::StepOut);
    EXPECT_EQ(inspector.View().stop, KvInspectorStop::StepOut);
    EXPECT_EQ(line(), 11);
    EXPECT_EQ(inspector.View().machine.frames.size(), 1u);
    const int64_t onEleven = stage->Battle().Ticks();
    stage->Go(KvInspector::Go::StepLine);
    EXPECT_EQ(line(), 12);

    // Back lands at the end of the tick before each line was entered, paused.
    ASSERT_TRUE(stage->Back());
    EXPECT_EQ(line(), 11);
    EXPECT_LT(stage->Battle().Ticks(), inspector.View().tick + 1);
    EXPECT_TRUE(stage->Paused());
    ASSERT_TRUE(stage->Back());
    EXPECT_EQ(line(), 6);
    EXPECT_LT(stage->Battle().Ticks(), onEleven);
    EXPECT_GE(stage->Battle().Ticks(), onSix);
    ASSERT_TRUE(stage->Back());
    EXPECT_EQ(line(), 5);
    EXPECT_LT(stage->Battle().Ticks(), onSix);

    // Stepping on from there goes the same way again.
    stage->Go(KvInspector::Go::StepLine);
    EXPECT_EQ(line(), 6);
    EXPECT_EQ(stage->Battle().Ticks(), onSix);
}

TEST_F(Inspecting, BackFromARobotChosenDuringTheBattleFindsTheLinesBefore) {
    auto stage = Started();
    stage->Inspect(-1);
    stage->Advance(1500);
    stage->SetPaused(true);
    stage->Inspect(0);
    const int32_t line = stage->Inspector().View().machine.line;
    const int64_t now = stage->Battle().Ticks();
    ASSERT_TRUE(stage->Back());
    EXPECT_NE(stage->Inspector().View().machine.line, line);
    EXPECT_LT(stage->Battle().Ticks(), now);
}

TEST_F(Inspecting, PauseOnFaultShowsWhereTheFaultHappenedBeforeTheSilentRestart) {
    auto stage = Started();
    stage->Inspector().SetPauseOnFault(true);
    RunToStop(*stage);
    ASSERT_TRUE(stage->Inspector().Stopped());
    const KvInspection view = stage->Inspector().View();
    EXPECT_EQ(view.stop, KvInspectorStop::Fault);
    EXPECT_EQ(view.faulted.line, 12);
    EXPECT_EQ(ValueOf(view.faulted.globals, "count"), 102);
    ASSERT_EQ(view.faulted.record.faults.size(), 1u);
    EXPECT_EQ(view.faulted.record.faults[0].kind, KvFaultKind::DivisionByZero);
    EXPECT_EQ(view.faulted.record.faults[0].tick, view.tick);
    // The machine itself has restarted, as it does in every battle.
    EXPECT_EQ(view.machine.record.restarts, 1);
    EXPECT_EQ(view.machine.line, 8);
}

TEST_F(Inspecting, WatchingStoppingAndSteppingLeaveTheBattleAsItIs) {
    HeadlessBattleOptions options;
    auto watched = Started(11);
    KvInspector& inspector = watched->Inspector();
    inspector.SetBreakpoint(5, true);
    inspector.SetPauseOnFault(true);
    for (int i = 0; i < 6; ++i) {
        RunToStop(*watched);
        watched->Go(i % 3 == 0 ? KvInspector::Go::StepOut : KvInspector::Go::StepLine);
        watched->Go(KvInspector::Go::Continue);
    }
    watched->Back();
    const double time = 30;
    watched->SetPaused(false);
    watched->Inspector().SetBreakpoint(5, false);
    watched->Inspector().SetPauseOnFault(false);
    watched->RunUntil(time);

    auto plain = Started(11);
    plain->Inspect(-1);
    plain->RunUntil(time);
    options.seed = 11;
    EXPECT_EQ(BattleJson(options, watched->Battle().Outcome()), BattleJson(options, plain->Battle().Outcome()));
}

TEST_F(Inspecting, TheWorkerPublishesTheRobotAndBackAndBreakpointsStillFindItsLinesAfterwards) {
    auto stage = Started();
    // Stopped once at a breakpoint before the worker runs on without any.
    stage->Inspector().SetBreakpoint(5, true);
    RunToStop(*stage);
    stage->Inspector().SetBreakpoint(5, false);
    stage->SetSpeed(4);
    stage->StartWorker();
    stage->Go(KvInspector::Go::Continue);
    KvInspection seen;
    for (int i = 0; i < 200 && seen.tick < 500; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = stage->Inspector().View();
    }
    EXPECT_GE(seen.tick, 500);
    EXPECT_TRUE(seen.alive);
    EXPECT_FALSE(seen.paused);
    EXPECT_GT(seen.machine.record.instructions, 0);
    stage->SetPaused(true);
    const KvInspection paused = stage->Inspector().View();
    EXPECT_TRUE(paused.paused);
    EXPECT_EQ(paused.tick, stage->Battle().Ticks());

    // The robot ran on unwatched, line by line, yet Back finds the tick before it came to
    // its line, and the robot stays on it from its arrival there until now.
    auto line = [&] { return stage->Inspector().View().machine.line; };
    const int64_t now = paused.tick;
    ASSERT_TRUE(stage->Back());
    EXPECT_NE(line(), paused.machine.line);
    stage->Go(KvInspector::Go::StepLine);
    EXPECT_EQ(line(), paused.machine.line);
    while (stage->Battle().Ticks() < now) {
        stage->Battle().TickTo(stage->Battle().Ticks() + 1);
        ASSERT_EQ(line(), paused.machine.line) << "tick " << stage->Battle().Ticks();
    }

    // A breakpoint set while the worker runs on stops it.
    stage->Go(KvInspector::Go::Continue);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stage->Inspector().SetBreakpoint(5, true);
    for (int i = 0; i < 200 && !stage->Inspector().Stopped(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(stage->Inspector().Stopped());
    EXPECT_EQ(line(), 5);
    stage->StopWorker();
}

}  // namespace
}  // namespace kv
