#include "app/IniFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace kv {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

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

// What one line of the file is. Views into the line.
struct ParsedLine {
    enum class Kind { Other, Section, Entry } kind = Kind::Other;
    std::string_view name;     // the section's or the key's, trimmed
    std::string_view value;    // an entry's, trimmed and unquoted
    std::string_view comment;  // an entry's trailing comment, from its ';' or '#'
};

// section-line: '[' name ']' anything  |  entry-line: key '=' value [blank (';' | '#') comment]
ParsedLine Parse(std::string_view line) {
    using Kind = ParsedLine::Kind;
    std::string_view s = Trim(line);
    if (s.empty() || s.front() == ';' || s.front() == '#') return {};
    if (s.front() == '[') {
        std::size_t close = s.find(']');
        return {Kind::Section, Trim(s.substr(1, close == std::string_view::npos ? close : close - 1)), {}, {}};
    }
    std::size_t equals = s.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view key = Trim(s.substr(0, equals));
    if (key.empty()) return {};
    std::string_view value = s.substr(equals + 1);
    std::string_view comment;
    for (std::size_t i = 1; i < value.size(); ++i) {
        if ((value[i] == ';' || value[i] == '#') && IsBlank(value[i - 1])) {
            comment = value.substr(i);
            value = value.substr(0, i);
            break;
        }
    }
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return {Kind::Entry, key, value, comment};
}

}  // namespace

KvIniFile::LoadResult KvIniFile::Load(const std::string& path) {
    lines_.clear();
    crlf_ = false;
    byteOrderMark_ = false;
    partial_ = false;

    // Anything but a plain file (a directory, a pipe that would block) is not a settings file.
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        partial_ = true;
        return LoadResult::Unreadable;
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        partial_ = errno != ENOENT;
        return partial_ ? LoadResult::Unreadable : LoadResult::Missing;
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
        partial_ = true;
        return LoadResult::Unreadable;
    }
    LoadResult result = LoadResult::Loaded;
    if (data.size() > kMaxFileBytes) {
        // Only whole lines of the part that was read.
        data.resize(kMaxFileBytes);
        std::size_t lastBreak = data.rfind('\n');
        data.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
        partial_ = true;
        result = LoadResult::TooLarge;
    }

    std::string_view text = data;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        byteOrderMark_ = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    std::size_t firstBreak = text.find('\n');
    crlf_ = firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r';
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines_.emplace_back(line);
    }
    return result;
}

bool KvIniFile::Save(const std::string& path) const {
    if (partial_) return false;
    std::string text = Text();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

std::optional<std::string> KvIniFile::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const std::string& line : lines_) {
        ParsedLine parsed = Parse(line);
        if (parsed.kind == ParsedLine::Kind::Section) {
            inSection = SameName(parsed.name, section);
        } else if (inSection && parsed.kind == ParsedLine::Kind::Entry && SameName(parsed.name, key)) {
            return std::string(parsed.value);
        }
    }
    return std::nullopt;
}

void KvIniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string entry = std::string(key) + "=" + std::string(value);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t insertAfter = kNone;  // the last entry (or the header) of the first such section
    bool inSection = false;
    bool firstSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        ParsedLine parsed = Parse(lines_[i]);
        if (parsed.kind == ParsedLine::Kind::Section) {
            inSection = SameName(parsed.name, section);
            firstSection = inSection && insertAfter == kNone;
            if (firstSection) insertAfter = i;
        } else if (inSection && parsed.kind == ParsedLine::Kind::Entry) {
            if (SameName(parsed.name, key)) {
                if (!parsed.comment.empty()) entry += " " + std::string(parsed.comment);
                lines_[i] = std::move(entry);
                return;
            }
            if (firstSection) insertAfter = i;
        }
    }
    if (insertAfter != kNone) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1), std::move(entry));
        return;
    }
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(entry));
}

std::string KvIniFile::Text() const {
    std::string text = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
    const char* lineEnd = crlf_ ? "\r\n" : "\n";
    for (const std::string& line : lines_) {
        text += line;
        text += lineEnd;
    }
    return text;
}

}  // namespace kv
