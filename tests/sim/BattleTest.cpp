#include <gtest/gtest.h>

#include <thread>

#include "sim/HeadlessBattle.h"

namespace kv {
namespace {

const std::string kRobots = KV_TEST_ROBOTS;

HeadlessBattleOptions Battle(std::initializer_list<const char*> robots, uint32_t seed, double time) {
    HeadlessBattleOptions o;
    for (const char* r : robots) o.files.emplace_back((kRobots + "/" + r).c_str());
    o.seed = seed;
    o.time = time;
    return o;
}

// Everything an outcome holds, to compare two runs exactly.
std::string Fingerprint(const BattleOutcome& o) {
    std::string s = std::to_string(o.ok) + " " + std::to_string(o.time) + " " + std::to_string(o.winner);
    char buffer[200];
    for (const RobotOutcome& r : o.robots) {
        const RobotValues& v = r.values;
        std::snprintf(buffer, sizeof buffer, " [%d %a %a %d %a %a %a %a %d]", r.slot, v.damage, v.deathTime, v.shots,
                      v.position.x, v.position.y, v.heading, v.speed, v.dead);
        s += buffer;
    }
    return s;
}

TEST(Battle, RepeatsExactlyWithTheSameSeedAloneOrOnConcurrentThreads) {
    const auto options = Battle({"rover.r", "rover.r", "shooter.r"}, 9, 60);
    const std::string alone = Fingerprint(RunHeadlessBattle(options));
    std::string results[3];
    std::vector<std::thread> threads;
    for (auto& result : results) threads.emplace_back([&] { result = Fingerprint(RunHeadlessBattle(options)); });
    for (auto& t : threads) t.join();
    for (const auto& result : results) EXPECT_EQ(result, alone);
}

TEST(Battle, HostileProgramsCannotStopTheBattle) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const BattleOutcome o =
            RunHeadlessBattle(Battle({"hostile.r", "hostile.r", "hostile.r", "hostile.r"}, seed, 30));
        ASSERT_TRUE(o.ok);
        EXPECT_NEAR(o.time, 30, 1e-9);
        for (const RobotOutcome& r : o.robots) EXPECT_LE(r.values.damage, 100);
    }
}

TEST(Battle, RunsOnTheWorkerThreadInRealTime) {
    auto options = Battle({"rover.r", "shooter.r"}, 5, 0.3);
    options.realtime = true;
    const BattleOutcome o = RunHeadlessBattle(options);
    ASSERT_TRUE(o.ok);
    EXPECT_GE(o.time, 0.3);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

std::string RecordText(const KvMachineRecord& r) {
    std::string s = std::to_string(r.restarts) + " restarts, " + std::to_string(r.instructions) + " instructions;";
    for (const KvFault& f : r.faults)
        s += " " + std::string(FaultText(f.kind)) + " line " + std::to_string(f.line) + " tick " + std::to_string(f.tick);
    s += ";";
    for (const KvBuiltInCall& c : r.calls)
        s += " " + std::to_string(c.opcode) + "(" + std::to_string(c.arguments[0]) + "," + std::to_string(c.arguments[1]) +
             ")=" + std::to_string(c.result) + " line " + std::to_string(c.line) + "@" + std::to_string(c.tick);
    return s;
}

// Machines running ahead of the battle execute later ticks' instructions early; what they
// record still stops at the tick the battle has reached, as a machine stepped tick by tick has it.
TEST(Battle, MachinesRunningAheadRecordOnlyWhatTheBattleHasReached) {
    KvHeightField groundAhead, groundStepped;
    KvBattle ahead(groundAhead, 0.001), stepped(groundStepped, 0.001);
    const auto options = Battle({"hostile.r", "hostile.r", "hostile.r", "shooter.r"}, 4, 0);
    ahead.Choose(options.files);
    stepped.Choose(options.files);
    ASSERT_TRUE(ahead.SetUp(4, true));
    ASSERT_TRUE(stepped.SetUp(4, false));
    int64_t restarts = 0;
    for (double t : {0.2, 0.5, 1.0, 2.345, 5.0, 12.0}) {
        ahead.RunUntil(t, false);
        stepped.RunUntil(t, false);
        const BattleOutcome a = ahead.Outcome(), s = stepped.Outcome();
        ASSERT_EQ(a.robots.size(), s.robots.size());
        for (size_t k = 0; k < a.robots.size(); ++k) {
            EXPECT_EQ(RecordText(a.robots[k].machine), RecordText(s.robots[k].machine)) << "robot " << k << " at " << t;
            restarts += s.robots[k].machine.restarts;
        }
        EXPECT_EQ(Fingerprint(a), Fingerprint(s));
    }
    EXPECT_GT(restarts, 0) << "the hostile programs fault";
    const KvMachineRecord shooter = stepped.Outcome().robots[3].machine;
    EXPECT_EQ(shooter.restarts, 0);
    EXPECT_GT(shooter.instructions, 3000);
    EXPECT_EQ(shooter.calls.size(), size_t{KvMachineRecord::kKeptCalls});
}

}  // namespace
}  // namespace kv
