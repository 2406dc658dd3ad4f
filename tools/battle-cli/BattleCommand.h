#pragma once
// What the battle tools (kolvex-battle, kolvex-shot) share on their command line: the robot
// files or a battle file in their place, --seed, --dt, --json and --archive, the messages for
// bad options, and the exit statuses for unreadable robots and archives. Each tool adds its
// own options.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "sim/BattleFile.h"

#include "sim/HeadlessBattle.h"

namespace kv {

// Exit statuses, the same in every program of the game (see the README's table).
constexpr int kSetupError = 1;  // a robot file cannot be opened or does not compile
constexpr int kUsageError = 2;  // bad options
constexpr int kResourceError = 3;  // the resource archive cannot be read
constexpr int kOutputError = 1;  // a file asked for cannot be written

struct BattleCommand {
    const char* program = "";               // the name in messages
    void (*usage)(std::FILE* out) = nullptr;  // the tool's whole help text
    HeadlessBattleOptions battle;
    bool seedGiven = false;
    bool dtGiven = false;
    bool json = false;
    std::string archive;
    // A battle file given in place of the robot files (a name ending in .kvb, or --battle),
    // and, once loaded, what it holds.
    std::optional<KvFile> battleFile;
    KvBattleRecord record;
};

// The arguments as a tool's own options read them.
class ArgCursor {
public:
    ArgCursor(int argc, char** argv, int& index, const char* program)
        : argc_(argc), argv_(argv), index_(index), program_(program) {}
    // The option's value, or null when the arguments end.
    const char* Value() { return index_ + 1 < argc_ ? argv_[++index_] : nullptr; }
    // Prints "program: what" and gives the bad-options status.
    int Fail(const char* what) const;

private:
    int argc_;
    char** argv_;
    int& index_;
    const char* program_;
};

// A tool's own option: returns -2 when arg is not one of its options, -1 when it took it,
// else the exit status.
using ToolOption = std::function<int(const std::string& arg, ArgCursor& args)>;

bool ParseNumber(const char* text, double& out);
bool ParseCount(const char* text, long long lo, long long hi, long long& out);

// Reads the shared options, the tool's own and the robot files. Returns -1 when they are
// fine, else the exit status (0 after --help).
int ParseBattleCommand(int argc, char** argv, BattleCommand& command, const ToolOption& toolOption);

// Loads the battle file: its seed, dt and robots (with their programs) become the command's
// battle; its time is the tool's to use. Returns -1 when ready, else the exit status after
// its message.
int LoadCommandBattle(BattleCommand& command);

// The most ticks one battle may take: a trillion, weeks of work at any dt.
constexpr double kMaxTicks = 1e12;
// Whether seconds of battle at the command's dt stay within kMaxTicks; when not, says so,
// naming option, and gives the bad-options status through status.
bool TicksFit(const BattleCommand& command, double seconds, const char* option, int& status);

// Seeds from the clock unless --seed was given, finds the archive and loads the robot's
// geometry from it. Returns -1 when ready, else the exit status after its message.
int PrepareBattle(BattleCommand& command, const char* argv0);

// The set-up message of a battle that could not start, and its exit status.
int ReportSetupError(const KvString& error);

// Keeps large freed blocks (machine stacks of one battle, the software renderer's buffers)
// for the next use rather than returning them to the system and faulting them back in.
void KeepFreedMemory();

}  // namespace kv
