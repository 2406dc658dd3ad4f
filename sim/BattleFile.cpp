#include "sim/BattleFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "core/Stream.h"
#include "lang/RobotCompiler.h"
#include "sim/BattleReport.h"

namespace kv {

namespace {

constexpr std::string_view kMagic = "kolvex-battle-file ";

// The rules a record must keep, each the text of what breaks it (empty when kept); the
// parser puts a line before them, the save the path.
std::string DtProblem(double dt) {
    return dt > 0 && dt <= 0.3 ? "" : "dt needs seconds above 0 and at most 0.3";
}

std::string TimeProblem(double time) {
    return time >= 0 && time <= 1e7 ? "" : "time needs simulated seconds from 0 to 10000000";
}

std::string RangeProblem(const char* what, uint64_t value) {
    return value <= 3 ? "" : std::string(what) + " " + std::to_string(value) + " is not 0 to 3";
}

// previous is the slot of the robot before, -1 for the first.
std::string OrderProblem(uint64_t slot, int previous) {
    if (static_cast<int64_t>(slot) == previous) return "slot " + std::to_string(slot) + " is given twice";
    if (static_cast<int64_t>(slot) < previous)
        return "slot " + std::to_string(slot) + " comes after slot " + std::to_string(previous) +
               " (robots are listed in slot order)";
    return "";
}

std::string NameLengthProblem(uint64_t size) {
    if (size == 0) return "a robot's file name is empty";
    if (size > kMaxBattleNameBytes)
        return "a file name of " + std::to_string(size) + " bytes is longer than " + std::to_string(kMaxBattleNameBytes);
    return "";
}

std::string NameProblem(std::string_view name) {
    if (std::string why = NameLengthProblem(name.size()); !why.empty()) return why;
    if (name.find('\0') != std::string_view::npos) return "a robot's file name holds a zero byte";
    return "";
}

std::string SourceSizeProblem(uint64_t size) {
    return size <= kMaxRobotFileBytes ? ""
                                      : "a source of " + std::to_string(size) + " bytes is more than " +
                                            std::to_string(kMaxRobotFileBytes) + " (the largest robot file)";
}

std::string ReportSizeProblem(uint64_t size) {
    return size <= kMaxBattleReportBytes ? ""
                                         : "a report of " + std::to_string(size) + " bytes is more than " +
                                               std::to_string(kMaxBattleReportBytes);
}

// What stops the parse: its message, with the line it was found on.
struct Malformed {
    std::string message;
};

// The text read front to back, keeping count of the line it is on.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    int Line() const { return line_; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    [[noreturn]] void Fail(int line, const std::string& what) const {
        throw Malformed{"line " + std::to_string(line) + ": " + what};
    }
    [[noreturn]] void Fail(const std::string& what) const { Fail(line_, what); }

    // Whether the text goes on with word.
    bool Next(std::string_view word) const { return text_.substr(pos_, word.size()) == word; }
    // Consumes word when the text goes on with it.
    bool Take(std::string_view word) {
        if (!Next(word)) return false;
        Skip(word.size());
        return true;
    }
    // Decimal digits, at least one; a value past 64 bits reads as the largest.
    bool Unsigned(uint64_t& value) {
        const size_t start = pos_;
        value = 0;
        constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
        for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_) {
            const uint64_t digit = static_cast<uint64_t>(text_[pos_] - '0');
            value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
        }
        return pos_ > start;
    }
    // The rest of the line, without its LF, which is consumed; false when no LF follows.
    bool Rest(std::string_view& line) {
        const size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) return false;
        line = text_.substr(pos_, end - pos_);
        Skip(end + 1 - pos_);
        return true;
    }
    // The next n bytes; false, consuming nothing, when fewer are left.
    bool Bytes(uint64_t n, std::string_view& bytes) {
        if (n > text_.size() - pos_) return false;
        bytes = text_.substr(pos_, static_cast<size_t>(n));
        Skip(static_cast<size_t>(n));
        return true;
    }

private:
    void Skip(size_t n) {
        for (size_t k = pos_; k < pos_ + n; ++k) line_ += text_[k] == '\n' ? 1 : 0;
        pos_ += n;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

// A line "keyword VALUE": the value's text.
std::string_view Field(Reader& in, std::string_view keyword, const char* form) {
    std::string_view value;
    if (!in.Take(keyword) || !in.Take(" ") || !in.Rest(value)) in.Fail(std::string("expected \"") + form + "\"");
    return value;
}

double Number(Reader& in, std::string_view keyword, const char* form, std::string (*problem)(double)) {
    const int line = in.Line();
    const std::string_view text = Field(in, keyword, form);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) in.Fail(line, problem(std::numeric_limits<double>::quiet_NaN()));
    if (const std::string why = problem(value); !why.empty()) in.Fail(line, why);
    return value;
}

uint32_t Seed(Reader& in) {
    const int line = in.Line();
    const char* why = "seed needs a number 0..4294967295";
    const std::string_view text = Field(in, "seed", "seed N");
    uint64_t value = 0;
    Reader digits(text);
    if (!digits.Unsigned(value) || !digits.AtEnd() || value > std::numeric_limits<uint32_t>::max()) in.Fail(line, why);
    return static_cast<uint32_t>(value);
}

// robot-line: 'robot' SLOT COLOUR NAME-LENGTH NAME SOURCE-LENGTH LF SOURCE LF
KvBattleSlot Robot(Reader& in, int line, int previous) {
    const char* form = "expected \"robot SLOT COLOUR NAME-LENGTH NAME SOURCE-LENGTH\"";
    uint64_t slot = 0, colour = 0, nameLength = 0, sourceLength = 0;
    if (!in.Unsigned(slot) || !in.Take(" ") || !in.Unsigned(colour) || !in.Take(" ") || !in.Unsigned(nameLength) ||
        !in.Take(" "))
        in.Fail(line, form);
    for (const std::string& why : {RangeProblem("slot", slot), RangeProblem("colour", colour), OrderProblem(slot, previous)})
        if (!why.empty()) in.Fail(line, why);
    if (const std::string why = NameLengthProblem(nameLength); !why.empty()) in.Fail(line, why);
    std::string_view name;
    if (!in.Bytes(nameLength, name)) in.Fail(line, "the file name runs past the end of the file");
    if (const std::string why = NameProblem(name); !why.empty()) in.Fail(line, why);
    if (!in.Take(" ") || !in.Unsigned(sourceLength) || !in.Take("\n")) in.Fail(line, form);
    if (const std::string why = SourceSizeProblem(sourceLength); !why.empty()) in.Fail(line, why);
    std::string_view source;
    if (!in.Bytes(sourceLength, source))
        in.Fail(line, "the source of " + std::to_string(sourceLength) + " bytes runs past the end of the file");
    if (!in.Take("\n")) in.Fail("expected a line end after the source of " + std::to_string(sourceLength) + " bytes");
    KvBattleSlot robot;
    robot.slot = static_cast<int>(slot);
    robot.colour = static_cast<int32_t>(colour);
    robot.file = KvFile(std::string(name).c_str());
    robot.source = std::string(source);
    return robot;
}

// report-block: 'report' LENGTH LF REPORT LF
std::string Report(Reader& in) {
    const int line = in.Line();
    uint64_t length = 0;
    if (!in.Take("report ") || !in.Unsigned(length) || !in.Take("\n")) in.Fail(line, "expected \"report LENGTH\"");
    if (const std::string why = ReportSizeProblem(length); !why.empty()) in.Fail(line, why);
    std::string_view report;
    if (!in.Bytes(length, report))
        in.Fail(line, "the report of " + std::to_string(length) + " bytes runs past the end of the file");
    if (!in.Take("\n")) in.Fail("expected a line end after the report of " + std::to_string(length) + " bytes");
    return std::string(report);
}

// battle-file: magic-line program-line seed-line dt-line time-line robot-line{1,4} report-block? 'end' LF?
KvBattleRecord Parse(std::string_view text) {
    Reader in(text);
    std::string_view versionText;
    if (!in.Take(kMagic) || !in.Rest(versionText)) throw Malformed{"not a battle file"};
    if (!versionText.empty() && versionText.back() == '\r')
        throw Malformed{"not a battle file: its lines end in CR LF (was it converted as text?)"};
    uint64_t version = 0;
    Reader digits(versionText);
    if (!digits.Unsigned(version) || !digits.AtEnd() || versionText.size() > 9) throw Malformed{"not a battle file"};
    if (version != kBattleFileVersion)
        throw Malformed{"battle file version " + std::string(versionText) + " is not known (this program reads version " +
                        std::to_string(kBattleFileVersion) + ")"};

    KvBattleRecord record;
    const int programLine = in.Line();
    record.program = std::string(Field(in, "program", "program VERSION"));
    if (record.program.empty()) in.Fail(programLine, "the program's version is empty");
    record.seed = Seed(in);
    record.dt = Number(in, "dt", "dt SECONDS", DtProblem);
    record.time = Number(in, "time", "time SECONDS", TimeProblem);

    for (;;) {
        const int line = in.Line();
        if (in.Take("robot ")) {
            if (record.robots.size() == KvGameHolder::kMaxRobots)
                in.Fail(line, "more than " + std::to_string(KvGameHolder::kMaxRobots) + " robots");
            record.robots.push_back(Robot(in, line, record.robots.empty() ? -1 : record.robots.back().slot));
            continue;
        }
        if (in.AtEnd()) in.Fail("the file ends before its end line");
        if (!in.Next("report ") && !in.Next("end")) in.Fail(line, "expected robot, report or end");
        if (record.robots.empty()) in.Fail(line, "no robots");
        if (in.Next("report ")) record.report = Report(in);
        const int endLine = in.Line();
        if (!in.Take("end"))
            in.Fail(endLine, in.AtEnd() ? "the file ends before its end line" : "expected end after the report");
        in.Take("\n");
        if (!in.AtEnd()) in.Fail(endLine, "bytes after the end line");
        return record;
    }
}

}  // namespace

std::string ProgramVersion() { return KV_VERSION; }

bool IsBattleFileName(const KvString& name) {
    const size_t length = name.Length();
    return length >= 4 && name.Right(4).Lower() == KvString(".kvb");
}

std::string WriteBattleText(const KvBattleRecord& record) {
    std::string out = std::string(kMagic) + std::to_string(kBattleFileVersion) + "\n";
    out += "program " + (record.program.empty() ? ProgramVersion() : record.program) + "\n";
    out += "seed " + std::to_string(record.seed) + "\n";
    out += "dt " + ExactNumber(record.dt) + "\n";
    out += "time " + ExactNumber(record.time) + "\n";
    for (const KvBattleSlot& robot : record.robots) {
        const std::string name = robot.file.Std();
        out += "robot " + std::to_string(robot.slot) + " " + std::to_string(robot.colour) + " " +
               std::to_string(name.size()) + " " + name + " " + std::to_string(robot.source.size()) + "\n";
        out += robot.source + "\n";
    }
    if (!record.report.empty()) out += "report " + std::to_string(record.report.size()) + "\n" + record.report + "\n";
    return out + "end\n";
}

bool ParseBattleText(const std::string& text, KvBattleRecord& record, KvString& error) {
    try {
        record = Parse(text);
        return true;
    } catch (const Malformed& bad) {
        error = KvString(bad.message.data(), bad.message.size());
        return false;
    }
}

std::string BattleRecordProblem(const KvBattleRecord& record) {
    if (record.program.find('\n') != std::string::npos) return "the program's version holds a line end";
    for (const std::string& why : {DtProblem(record.dt), TimeProblem(record.time)})
        if (!why.empty()) return why;
    if (record.robots.empty()) return "no robots";
    if (record.robots.size() > KvGameHolder::kMaxRobots) return "more than 4 robots";
    int previous = -1;
    for (const KvBattleSlot& robot : record.robots) {
        if (robot.slot < 0 || robot.colour < 0) return "a slot or colour is negative";
        for (const std::string& why :
             {RangeProblem("slot", static_cast<uint64_t>(robot.slot)), RangeProblem("colour", static_cast<uint64_t>(robot.colour)),
              OrderProblem(static_cast<uint64_t>(robot.slot), previous), NameProblem(robot.file.Std()),
              SourceSizeProblem(robot.source.size())})
            if (!why.empty()) return why;
        previous = robot.slot;
    }
    return ReportSizeProblem(record.report.size());
}

namespace {

bool WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool SaveBattleFile(const KvFile& path, const KvBattleRecord& record, KvString& error) {
    if (const std::string why = BattleRecordProblem(record); !why.empty()) {
        error.Format("Can't save battle file '%s': %s", path.CStr(), why.c_str());
        return false;
    }
    const std::string text = WriteBattleText(record);
    // The new file is made beside the old one, so that renaming it into place is atomic.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = path.Std() + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    int why = errno;
    bool written = fd >= 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    if (fd >= 0) {
        if (!written) why = errno;
        if (::close(fd) != 0 && written) {
            written = false;
            why = errno;
        }
        if (written && ::rename(temporary.c_str(), path.CStr()) != 0) {
            written = false;
            why = errno;
        }
        if (!written) ::unlink(temporary.c_str());
    }
    if (!written) error.Format("Can't write battle file '%s': %s", path.CStr(), std::strerror(why));
    return written;
}

bool LoadBattleFile(const KvFile& path, KvBattleRecord& record, KvString& error) {
    FileProblem problem = FileProblem::None;
    std::FILE* file = OpenRegularFile(path, &problem);
    if (!file) {
        const char* why = problem == FileProblem::Missing      ? "no such file"
                          : problem == FileProblem::NotRegular ? "not a regular file"
                                                               : std::strerror(errno);
        error.Format("Can't open battle file '%s': %s", path.CStr(), why);
        return false;
    }
    // Read to one byte past the limit: the file may grow while it is read.
    std::string text;
    char buffer[65536];
    size_t n = 0;
    while (text.size() <= kMaxBattleFileBytes && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error.Format("Can't read battle file '%s'", path.CStr());
        return false;
    }
    if (text.size() > kMaxBattleFileBytes) {
        error.Format("Battle file '%s' is too large (more than %llu bytes)", path.CStr(),
                     static_cast<unsigned long long>(kMaxBattleFileBytes));
        return false;
    }
    KvString why;
    if (!ParseBattleText(text, record, why)) {
        error.Format("Battle file '%s': %s", path.CStr(), why.CStr());
        return false;
    }
    return true;
}

std::array<RobotChoice, KvGameHolder::kMaxRobots> BattleChoices(const KvBattleRecord& record) {
    std::array<RobotChoice, KvGameHolder::kMaxRobots> choices;
    for (size_t k = 0; k < choices.size(); ++k) choices[k].colour = static_cast<int32_t>(k);
    for (const KvBattleSlot& robot : record.robots) {
        if (robot.slot < 0 || robot.slot >= KvGameHolder::kMaxRobots) continue;
        choices[static_cast<size_t>(robot.slot)] = {true, robot.colour, robot.file, robot.source};
    }
    return choices;
}

}  // namespace kv
