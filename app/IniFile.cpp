#include "app/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kv {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n", kCr = "\r", kLf = "\n";
constexpr const char* kTooLarge = "it is larger than 1 MiB";
constexpr const char* kUnreadable = "it cannot be read";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// ASCII only, so that bytes above 127 compare as themselves in every locale.
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// What one line of the file is. Views into the line, so that an entry's value can be
// replaced where it stands.
struct ParsedLine {
    enum class Kind { Other, Section, Entry } kind = Kind::Other;
    std::string_view name;   // the section's or the key's, trimmed
    std::string_view value;  // an entry's: between its quotes, or trimmed before a comment
};

// section-line: '[' name ']' anything
// entry-line:   key '=' ( quote text quote anything | text [blank (';' | '#') comment] )
ParsedLine Parse(std::string_view line) {
    using Kind = ParsedLine::Kind;
    std::string_view s = Trim(line);
    if (s.empty() || s.front() == ';' || s.front() == '#') return {};
    if (s.front() == '[') {
        std::size_t close = s.find(']');
        return {Kind::Section, Trim(s.substr(1, close == std::string_view::npos ? close : close - 1)), {}};
    }
    std::size_t equals = s.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view key = Trim(s.substr(0, equals));
    if (key.empty()) return {};
    std::string_view rest = s.substr(equals + 1);
    std::string_view value = Trim(rest);
    if (!value.empty() && IsQuote(value.front())) {
        std::size_t close = value.find(value.front(), 1);
        if (close != std::string_view::npos) return {Kind::Entry, key, value.substr(1, close - 1)};
    }
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if ((rest[i] == ';' || rest[i] == '#') && IsBlank(rest[i - 1])) {
            rest = rest.substr(0, i);
            break;
        }
    }
    value = Trim(rest);
    // An empty value stands right after '=', so that a new one keeps the blank before a comment.
    return {Kind::Entry, key, value.empty() ? rest.substr(0, 0) : value};
}

// Writes all of text to descriptor fd.
bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t done = ::write(fd, text.data(), text.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

}  // namespace

KvIniFile::LoadResult KvIniFile::Load(const std::string& path) {
    SetText({});

    // Anything but a plain file (a directory, a pipe that would block) is not a settings file.
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        partial_ = kUnreadable;
        return LoadResult::Unreadable;
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT) return LoadResult::Missing;
        partial_ = kUnreadable;
        return LoadResult::Unreadable;
    }
    std::string data;
    char buffer[16384];
    std::size_t got = 0;
    while (data.size() <= kMaxFileBytes && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        data.append(buffer, got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        partial_ = kUnreadable;
        return LoadResult::Unreadable;
    }
    LoadResult result = LoadResult::Loaded;
    if (data.size() > kMaxFileBytes) {
        // Only whole lines of the part that was read.
        data.resize(kMaxFileBytes);
        std::size_t lastBreak = data.find_last_of("\r\n");
        data.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
        result = LoadResult::TooLarge;
    }
    SetText(data);
    if (result == LoadResult::TooLarge) partial_ = kTooLarge;
    return result;
}

void KvIniFile::SetText(std::string_view text) {
    lines_.clear();
    newLineEnd_ = kLf;
    partial_ = nullptr;
    byteOrderMark_ = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    if (byteOrderMark_) text.remove_prefix(kByteOrderMark.size());
    bool firstEnd = true;
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        std::string_view lineEnd;
        if (end == std::string_view::npos) {
            end = text.size();
        } else {
            lineEnd = text.substr(end, 2) == kCrLf ? kCrLf : text[end] == '\r' ? kCr : kLf;
            if (firstEnd) newLineEnd_ = lineEnd;
            firstEnd = false;
        }
        lines_.push_back({std::string(text.substr(0, end)), lineEnd});
        text.remove_prefix(end + lineEnd.size());
    }
}

bool KvIniFile::Save(const std::string& path, std::string* why) const {
    auto fail = [why](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    if (partial_) return fail(partial_);

    // A symbolic link stays one: the file it names is replaced.
    std::error_code error;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, error)) {
        std::filesystem::path resolved = std::filesystem::canonical(target, error);
        if (!error) target = resolved;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    // The new file is made beside the old one, so that renaming it into place is atomic.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target.string() + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fail(std::strerror(errno));
    bool written = WriteAll(fd, Text()) && (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && ::fsync(fd) == 0;
    int writeError = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (written && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    if (written) writeError = errno;
    ::unlink(temporary.c_str());
    return fail(std::strerror(writeError));
}

std::optional<std::string> KvIniFile::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const Line& line : lines_) {
        ParsedLine parsed = Parse(line.text);
        if (parsed.kind == ParsedLine::Kind::Section) {
            inSection = SameName(parsed.name, section);
        } else if (inSection && parsed.kind == ParsedLine::Kind::Entry && SameName(parsed.name, key)) {
            return std::string(parsed.value);
        }
    }
    return std::nullopt;
}

void KvIniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t insertAfter = kNone;  // the last entry (or the header) of the first such section
    bool inSection = false;
    bool firstSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string& text = lines_[i].text;
        ParsedLine parsed = Parse(text);
        if (parsed.kind == ParsedLine::Kind::Section) {
            inSection = SameName(parsed.name, section);
            firstSection = inSection && insertAfter == kNone;
            if (firstSection) insertAfter = i;
        } else if (inSection && parsed.kind == ParsedLine::Kind::Entry) {
            if (SameName(parsed.name, key)) {
                text.replace(static_cast<std::size_t>(parsed.value.data() - text.data()), parsed.value.size(), value);
                return;
            }
            if (firstSection) insertAfter = i;
        }
    }
    std::string entry = std::string(key) + "=" + std::string(value);
    if (insertAfter != kNone) {
        Insert(insertAfter + 1, std::move(entry));
        return;
    }
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) Insert(lines_.size(), {});
    Insert(lines_.size(), "[" + std::string(section) + "]");
    Insert(lines_.size(), std::move(entry));
}

void KvIniFile::Insert(std::size_t at, std::string text) {
    std::string_view end = newLineEnd_;
    if (at > 0) {
        std::string_view& before = lines_[at - 1].end;
        if (before.empty()) before = newLineEnd_;
        end = before;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), end});
}

std::string KvIniFile::Text() const {
    std::string text = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
    for (const Line& line : lines_) {
        text += line.text;
        text += line.end;
    }
    return text;
}

}  // namespace kv
