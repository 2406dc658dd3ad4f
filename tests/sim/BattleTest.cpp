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
