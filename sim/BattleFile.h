#pragma once
// Battle files (.kvb): everything that makes a battle what it is (seed, dt, how long it runs,
// and each robot's slot, colour, file name and whole source text), so that it can be fought
// again after the robot files changed, and the end report of the run that saved it.
//
// The format is text, read and written only here. Lines end with LF; every block of foreign
// bytes (a file name, a source, the report) is preceded by its length, so any bytes survive:
//
//   kolvex-battle-file 1
//   program 0.1.0
//   seed 12
//   dt 0.001
//   time 600
//   robot SLOT COLOUR NAME-LENGTH NAME SOURCE-LENGTH
//   <SOURCE-LENGTH bytes of source>
//   ...                                 (one to four robots, in slot order)
//   report LENGTH                       (optional)
//   <LENGTH bytes: the JSON report>
//   end
//
// Each block is followed by a LF of its own. dt and time are written as the shortest text
// that reads back to the same double.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/KvString.h"
#include "sim/GameHolder.h"

namespace kv {

struct KvBattleSlot {
    int slot = 0;
    int32_t colour = 0;
    KvFile file;         // the path as chosen; its file name names the robot
    std::string source;  // the program's text, exactly
};

struct KvBattleRecord {
    uint32_t seed = 1;
    double dt = 0.001;
    double time = 600;                 // simulated seconds the battle is to run
    std::vector<KvBattleSlot> robots;  // in slot order, slots distinct
    std::string program;               // the version that wrote it; this program's when empty
    std::string report;                // the JSON end report, empty when not known
};

inline constexpr int kBattleFileVersion = 1;
// Larger files are refused before they are read: four robots of the largest size and a report.
inline constexpr uint64_t kMaxBattleFileBytes = 8u << 20;
inline constexpr uint64_t kMaxBattleReportBytes = 1u << 20;
inline constexpr uint64_t kMaxBattleNameBytes = 4096;

// This program's version, as battle files record it.
std::string ProgramVersion();
// Whether a name given in place of robot files names a battle file: it ends in ".kvb", in any case.
bool IsBattleFileName(const KvString& name);

// The text of a battle file. The record should be valid (BattleRecordProblem empty).
std::string WriteBattleText(const KvBattleRecord& record);
// Reads a battle file's text. False with a message naming what is wrong ("not a battle file",
// "battle file version 7 is not known (this program reads version 1)", "line 4: ..."); the
// record is then untouched.
bool ParseBattleText(const std::string& text, KvBattleRecord& record, KvString& error);
// What would make record unreadable as a battle file (a slot or colour out of range, slots
// repeated or out of order, no robots or more than four, ...); empty when nothing.
std::string BattleRecordProblem(const KvBattleRecord& record);

// Writes a new file beside path and renames it over path, so that a failed save leaves any old
// file whole. False with a message naming the path.
bool SaveBattleFile(const KvFile& path, const KvBattleRecord& record, KvString& error);
// Reads a regular file of at most kMaxBattleFileBytes. False with a message naming the path.
bool LoadBattleFile(const KvFile& path, KvBattleRecord& record, KvString& error);

// The session's choices for the record: slot k's choice enabled with its colour, path and
// source; the other slots left out.
std::array<RobotChoice, KvGameHolder::kMaxRobots> BattleChoices(const KvBattleRecord& record);

}  // namespace kv
