#include "BattleCommand.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <malloc.h>

namespace kv {

namespace {

// The archive given, else Kolvex.kvfs here, else beside the program's build folder.
std::string FindArchive(const std::string& given, const char* argv0) {
    if (!given.empty()) return given;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists("Kolvex.kvfs", ec)) return "Kolvex.kvfs";
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = argv0;
    for (fs::path dir = exe.parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::exists(dir / "Kolvex.kvfs", ec)) return (dir / "Kolvex.kvfs").string();
        if (dir == dir.parent_path()) break;
    }
    return "Kolvex.kvfs";
}

}  // namespace

int ArgCursor::Fail(const char* what) const {
    std::fprintf(stderr, "%s: %s\n", program_, what);
    return kUsageError;
}

bool ParseNumber(const char* text, double& out) {
    if (!text) return false;
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == 0 && out == out;
}

bool ParseCount(const char* text, long long lo, long long hi, long long& out) {
    if (!text) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text, &end, 10);
    return end != text && *end == 0 && errno == 0 && out >= lo && out <= hi;
}

int ParseBattleCommand(int argc, char** argv, BattleCommand& c, const ToolOption& toolOption) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        ArgCursor args(argc, argv, i, c.program);
        long long n = 0;
        double d = 0;
        if (arg == "--help" || arg == "-h") {
            c.usage(stdout);
            return 0;
        } else if (arg == "--seed") {
            if (!ParseCount(args.Value(), 0, 4294967295LL, n)) return args.Fail("--seed needs a number 0..4294967295");
            c.battle.seed = static_cast<uint32_t>(n);
            c.seedGiven = true;
        } else if (arg == "--dt") {
            if (!ParseNumber(args.Value(), d) || !(d > 0 && d <= 0.3))
                return args.Fail("--dt needs seconds above 0 and at most 0.3");
            c.battle.dt = d;
            c.dtGiven = true;
        } else if (arg == "--archive") {
            const char* path = args.Value();
            if (!path) return args.Fail("--archive needs a path");
            c.archive = path;
        } else if (arg == "--json") {
            c.json = true;
        } else if (arg == "--battle") {
            const char* path = args.Value();
            if (!path) return args.Fail("--battle needs a battle file");
            c.battle.files.emplace_back(path);
            c.battleFile = KvFile(path);
        } else if (const int status = toolOption(arg, args); status != -2) {
            if (status >= 0) return status;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "%s: unknown option %s\n", c.program, arg.c_str());
            c.usage(stderr);
            return kUsageError;
        } else {
            c.battle.files.emplace_back(arg.c_str());
        }
    }
    for (const KvFile& file : c.battle.files) {
        if (IsBattleFileName(file)) c.battleFile = file;
    }
    if (c.battleFile) {
        if (c.battle.files.size() > 1) {
            std::fprintf(stderr, "%s: a battle file takes the place of the robot files; give it alone\n", c.program);
            return kUsageError;
        }
        if (c.seedGiven || c.dtGiven) {
            std::fprintf(stderr, "%s: a battle file fixes the seed and dt; leave out --seed and --dt\n", c.program);
            return kUsageError;
        }
    }
    if (c.battle.files.empty() || c.battle.files.size() > 4) {
        std::fprintf(stderr, "%s: give one to four robot files\n", c.program);
        c.usage(stderr);
        return kUsageError;
    }
    return -1;
}

int LoadCommandBattle(BattleCommand& c) {
    KvString error;
    if (!LoadBattleFile(*c.battleFile, c.record, error)) {
        std::fprintf(stderr, "%s: %s\n", c.program, error.CStr());
        return kSetupError;
    }
    c.battle.seed = c.record.seed;
    c.battle.dt = c.record.dt;
    c.battle.choices = BattleChoices(c.record);
    c.seedGiven = true;
    return -1;
}

bool TicksFit(const BattleCommand& c, double seconds, const char* option, int& status) {
    if (seconds / c.battle.dt <= kMaxTicks) return true;
    std::fprintf(stderr, "%s: %s %g at --dt %g is more than %.0f ticks\n", c.program, option, seconds, c.battle.dt,
                 kMaxTicks);
    status = kUsageError;
    return false;
}

int PrepareBattle(BattleCommand& c, const char* argv0) {
    if (!c.seedGiven) c.battle.seed = static_cast<uint32_t>(std::time(nullptr));
    KvString error;
    const std::string archive = FindArchive(c.archive, argv0);
    if (!LoadRobotGeometry(archive.c_str(), c.battle.geometry, error)) {
        std::fprintf(stderr, "%s: %s\n", c.program, error.CStr());
        return kResourceError;
    }
    c.archive = archive;
    return -1;
}

void KeepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

int ReportSetupError(const KvString& error) {
    std::fprintf(stderr, "%s\n", error.CStr());
    return kSetupError;
}

}  // namespace kv
