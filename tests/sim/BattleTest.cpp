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
        std::snprintf(buffer, sizeof buffer, " [%d %a %a %d %a %a %a %a %d]", r.slot, r.damage, r.deathTime, r.shots,
                      r.position.x, r.position.y, r.heading, r.speed, r.alive);
        s += buffer;
    }
    return s;
}

TEST(Battle, RepeatsExactlyWithTheSameSeedAndDt) {
    auto options = Battle({"rover.r", "shooter.r", "rammer.r", "rover.r"}, 42, 120);
    const BattleOutcome a = RunHeadlessBattle(options);
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(Fingerprint(a), Fingerprint(RunHeadlessBattle(options)));
    options.seed = 43;
    EXPECT_NE(Fingerprint(a), Fingerprint(RunHeadlessBattle(options)));
}

TEST(Battle, RepeatsExactlyOnConcurrentThreads) {
    const auto options = Battle({"rover.r", "rover.r", "shooter.r"}, 9, 60);
    const std::string alone = Fingerprint(RunHeadlessBattle(options));
    std::string results[3];
    std::vector<std::thread> threads;
    for (auto& result : results) threads.emplace_back([&] { result = Fingerprint(RunHeadlessBattle(options)); });
    for (auto& t : threads) t.join();
    for (const auto& result : results) EXPECT_EQ(result, alone);
}

TEST(Battle, ARobotShootingItsOwnFeetDiesAfterTenShells) {
    const BattleOutcome o = RunHeadlessBattle(Battle({"selfharm.r", "sitter.r"}, 1, 60));
    ASSERT_TRUE(o.ok);
    ASSERT_EQ(o.robots.size(), 2u);
    EXPECT_FALSE(o.robots[0].alive);
    EXPECT_EQ(o.robots[0].damage, 100);
    EXPECT_EQ(o.robots[0].shots, 10);
    // Ten reloads of 1.5 s, the first from the start; each shell explodes in its first step.
    EXPECT_GT(o.robots[0].deathTime, 13.5);
    EXPECT_LT(o.robots[0].deathTime, 15.5);
    EXPECT_EQ(o.winner, 1);
    EXPECT_EQ(o.time, o.robots[0].deathTime);  // the battle stops when one robot is left
}

TEST(Battle, HostileProgramsCannotStopTheBattle) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const BattleOutcome o =
            RunHeadlessBattle(Battle({"hostile.r", "hostile.r", "hostile.r", "hostile.r"}, seed, 30));
        ASSERT_TRUE(o.ok);
        EXPECT_NEAR(o.time, 30, 1e-9);
        for (const RobotOutcome& r : o.robots) EXPECT_LE(r.damage, 100);
    }
}

TEST(Battle, TracesLivingRobotsAtTheGivenInterval) {
    auto options = Battle({"rover.r", "sitter.r"}, 3, 2);
    options.traceEvery = 0.5;
    std::vector<std::pair<double, int>> samples;
    RunHeadlessBattle(options, [&](double t, int slot, const RobotValues&) { samples.push_back({t, slot}); });
    ASSERT_EQ(samples.size(), 8u);
    EXPECT_NEAR(samples[0].first, 0.5, 1e-9);
    EXPECT_EQ(samples[1].second, 1);
    EXPECT_NEAR(samples[7].first, 2.0, 1e-9);
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
