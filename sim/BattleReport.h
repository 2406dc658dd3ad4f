#pragma once
// The texts kolvex-battle prints: one battle as text or JSON, trace lines, the win table.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/HeadlessBattle.h"

namespace kv {

// A number that reads back to the same double.
std::string ExactNumber(double v);
std::string JsonString(const std::string& s);

// A real-time battle's dt was measured tick by tick: it reads "measured", with the mean. The
// text gives times to the battle's tick (the millisecond at least); JSON gives them exactly.
std::string BattleText(const HeadlessBattleOptions& options, const BattleOutcome& outcome);
std::string BattleJson(const HeadlessBattleOptions& options, const BattleOutcome& outcome);
// "division by zero on line 12 at 31.402 s".
std::string FaultLine(const HeadlessBattleOptions& options, const KvFault& fault);
std::string TraceJson(double time, int slot, const RobotValues& values);

struct MatchTable {
    uint32_t firstSeed = 0;
    int battles = 0;
    int undecided = 0;
    struct Row {
        int slot = 0;
        std::string file;
        int32_t colour = 0;
        int wins = 0;
        int survived = 0;
        double damage = 0;  // sum over the battles
        int64_t shots = 0;
        std::optional<uint32_t> firstWinSeed;  // the seed of the first battle it won
    };
    std::vector<Row> rows;

    // Counts the battle of seed firstSeed + battles: call in seed order.
    void Count(const BattleOutcome& outcome);
    std::string Text(const HeadlessBattleOptions& options) const;
    std::string Json(const HeadlessBattleOptions& options) const;
};

}  // namespace kv
