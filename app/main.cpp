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

namespace {

using namespace kv;

constexpr int kUsageError = 2;
constexpr int kStartFailed = 3;

void Usage(std::FILE* out) {
    std::fputs(
        "usage: kolvex [options] [ROBOT.r ...]\n"
        "Opens the game. One to four robot files are chosen in slots red, green, blue and\n"
        "magenta and fight at once; File > New chooses others.\n"
        "\n"
        "  --quit-after S      close the window S seconds after the first frame\n"
        "  --screenshot FILE   with --quit-after: save the last frame as a PNG\n"
        "  --frame-stats       on closing, print the time to the first frame, the frames\n"
        "                      drawn and their rate\n"
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
            char* end = nullptr;
            const double seconds = value ? std::strtod(value, &end) : -1;
            if (!value || *end || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6)
                return UsageError("--quit-after needs seconds from 0 to 1000000");
            options.quitAfter = seconds;
            ++i;
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
        } else {
            if (options.robots.size() == 4) return UsageError("at most four robot files");
            options.robots.push_back(ArgumentFile(arg));
        }
    }
    if (!options.screenshot.empty() && options.quitAfter < 0) return UsageError("--screenshot needs --quit-after");
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const double started = PrecisionClock::Now();
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kolvex");
    QApplication::setApplicationVersion(KV_VERSION);
    Command command;
    if (const int status = Parse(argc, argv, command); status >= 0) return status;
    if (!command.archiveGiven) command.options.archive = FindArchive();

    const double quitAfter = command.options.quitAfter;
    App app(std::move(command.options));
    if (!app.Init()) {
        std::fprintf(stderr, "kolvex: %s\n", app.Error().c_str());
        ShowErrorBox(app.Error(), quitAfter);
        return kStartFailed;
    }
    const int status = app.Run();
    app.Shutdown();
    if (command.frameStats) {
        const double seconds = app.FrameSeconds();
        std::printf("first frame %.0f ms after start; %lld frames in %.2f s: %.1f frames per second\n",
                    (app.FirstFrameTime() - started) * 1000, static_cast<long long>(app.Frames()), seconds,
                    seconds > 0 ? static_cast<double>(app.Frames() - 1) / seconds : 0.0);
    }
    return status;
}
