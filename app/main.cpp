// kolvex: the game. Without arguments it opens the window; robot files given on the command
// line are chosen in the dialog and fight at once.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/App.h"
#include "sim/BattleReport.h"

namespace {

using namespace kv;

constexpr int kUsageError = 2;
constexpr int kStartFailed = 3;

void Usage(std::FILE* out) {
    std::fputs(
        "usage: kolvex [options] [ROBOT.r ... | BATTLE.kvb]\n"
        "Opens the game. One to four robot files are chosen in slots red, green, blue and\n"
        "magenta and fight at once; File > New chooses others. A battle file (File > Save\n"
        "battle..., kolvex-battle --save) plays its battle again, from the programs it holds.\n"
        "Without either, the robots last chosen are chosen again, not started.\n"
        "\n"
        "  --seed N            the first battle's seed (default: a fresh one); the main view\n"
        "                      shows every battle's seed, and the same seed and robots give\n"
        "                      the same battle as kolvex-battle --seed N\n"
        "  --quit-after S      close the window S seconds after the first frame\n"
        "  --quit-after-time T close the window once the first battle reaches T simulated\n"
        "                      seconds\n"
        "  --screenshot FILE   with --quit-after or --quit-after-time: save the last frame\n"
        "                      as a PNG\n"
        "  --json              on closing, print the battle's report as kolvex-battle --json\n"
        "                      prints it (as it stood when it was decided, or at the end)\n"
        "  --frame-stats       on closing, print the time to the first frame, the frames\n"
        "                      drawn and their rate, and how much battle time passed\n"
        "  --archive PATH      the resource archive (default: Kolvex.kvfs in the current\n"
        "                      folder, else beside the program, else where it is installed)\n"
        "  --version           the version\n"
        "  --help              this text\n"
        "\n"
        "Settings are kept in Config.ini in the current folder.\n"
        "Exit status: 0 closed normally, 1 the screenshot could not be written, 2 bad\n"
        "options, 3 the game could not start (the reason on standard error).\n",
        out);
}

int UsageError(const char* why) {
    std::fprintf(stderr, "kolvex: %s\n", why);
    Usage(stderr);
    return kUsageError;
}

// The archive in the current folder, else beside the program (or at its build folder's top),
// else where `cmake --install` put it (relative to the program first, so that an installed
// tree can be moved).
KvFile FindArchive() {
    const QString name = kArchiveFileName;
    const QString app = QCoreApplication::applicationDirPath();
    for (const QString& dir : {QDir::currentPath(), app, app + "/..", app + "/../share/kolvex",
                               QStringLiteral(KV_INSTALL_DATADIR)}) {
        const QFileInfo file(QDir(dir), name);
        if (file.isFile()) return KvFile(file.absoluteFilePath().toLocal8Bit().constData());
    }
    return KvFile(kArchiveFileName);
}

// A number of seconds from 0 to most.
bool Seconds(const char* value, double most, double& out) {
    if (!value) return false;
    char* end = nullptr;
    const double seconds = std::strtod(value, &end);
    if (end == value || *end || !std::isfinite(seconds) || seconds < 0 || seconds > most) return false;
    out = seconds;
    return true;
}

// A robot file named on the command line, made absolute byte for byte: a name that is not
// UTF-8 reaches the file system as it was given.
KvFile ArgumentFile(const char* arg) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(arg, error).lexically_normal();
    return error ? KvFile(arg) : KvFile(path.c_str());
}

// -1 to go on, else the exit status.
struct Command {
    AppOptions options;
    bool archiveGiven = false;
    bool frameStats = false;
    bool json = false;
};

int Parse(int argc, char** argv, Command& command) {
    AppOptions& options = command.options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            Usage(stdout);
            return 0;
        } else if (!std::strcmp(arg, "--version")) {
            std::printf("kolvex %s\n", KV_VERSION);
            return 0;
        } else if (!std::strcmp(arg, "--quit-after")) {
            if (!Seconds(value, 1e6, options.quitAfter)) return UsageError("--quit-after needs seconds from 0 to 1000000");
            ++i;
        } else if (!std::strcmp(arg, "--quit-after-time")) {
            if (!Seconds(value, 1e7, options.quitAfterTime))
                return UsageError("--quit-after-time needs simulated seconds from 0 to 10000000");
            ++i;
        } else if (!std::strcmp(arg, "--seed")) {
            char* end = nullptr;
            const unsigned long long seed = value ? std::strtoull(value, &end, 10) : 0;
            if (!value || !*value || *end || value[0] == '-' || seed > 0xffffffffULL)
                return UsageError("--seed needs a number from 0 to 4294967295");
            options.seed = static_cast<uint32_t>(seed);
            ++i;
        } else if (!std::strcmp(arg, "--json")) {
            command.json = true;
        } else if (!std::strcmp(arg, "--frame-stats")) {
            command.frameStats = true;
        } else if (!std::strcmp(arg, "--screenshot")) {
            if (!value) return UsageError("--screenshot needs a file name");
            options.screenshot = value;
            ++i;
        } else if (!std::strcmp(arg, "--archive")) {
            if (!value) return UsageError("--archive needs a path");
            options.archive = value;
            command.archiveGiven = true;
            ++i;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "kolvex: unknown option %s\n", arg);
            Usage(stderr);
            return kUsageError;
        } else if (IsBattleFileName(arg)) {
            if (options.battleFile) return UsageError("one battle file at most");
            options.battleFile = ArgumentFile(arg);
        } else {
            if (options.robots.size() == 4) return UsageError("at most four robot files");
            options.robots.push_back(ArgumentFile(arg));
        }
    }
    if (options.battleFile && !options.robots.empty())
        return UsageError("a battle file holds its robots: give it alone");
    if (options.battleFile && options.seed) return UsageError("a battle file holds its seed: leave out --seed");
    if (!options.screenshot.empty() && options.quitAfter < 0 && options.quitAfterTime < 0)
        return UsageError("--screenshot needs --quit-after or --quit-after-time");
    return -1;
}

// Whether a window can be opened at all; Qt itself would abort without one.
bool HaveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const double started = PrecisionClock::Now();
    // Options first: --help, --version and mistakes need no window.
    Command command;
    if (const int status = Parse(argc, argv, command); status >= 0) return status;
    if (!HaveDisplay()) {
        std::fprintf(stderr, "kolvex: no display to open the window on (DISPLAY is not set); kolvex-battle runs "
                             "battles without one\n");
        return kStartFailed;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kolvex");
    QApplication::setApplicationVersion(KV_VERSION);
    if (!command.archiveGiven) command.options.archive = FindArchive();

    const double quitAfter = command.options.quitAfter;
    App app(std::move(command.options));
    if (!app.Init()) {
        std::fprintf(stderr, "kolvex: %s\n", app.Error().c_str());
        ShowErrorBox(app.Error(), quitAfter);
        return kStartFailed;
    }
    const int status = app.Run();
    if (command.json) {
        HeadlessBattleOptions report;
        report.seed = app.Stage().Seed();
        report.dt = app.Stage().Battle().Dt();
        report.time = app.Stage().FurthestTime();
        std::fputs(BattleJson(report, app.Stage().Outcome()).c_str(), stdout);
    }
    app.Shutdown();
    if (command.frameStats) {
        const double seconds = app.FrameSeconds();
        std::printf("first frame %.0f ms after start; %lld frames in %.2f s: %.1f frames per second; battle time "
                    "%.3f s: %.4f of the clock\n",
                    (app.FirstFrameTime() - started) * 1000, static_cast<long long>(app.Frames()), seconds,
                    seconds > 0 ? static_cast<double>(app.Frames() - 1) / seconds : 0.0, app.BattleSeconds(),
                    seconds > 0 ? app.BattleSeconds() / seconds : 0.0);
    }
    return status;
}
