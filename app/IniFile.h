#pragma once
// An initialisation file: "[Section]" lines, then "key=value" lines. Reads files written by
// other programs (CRLF or LF line ends, a UTF-8 byte-order mark, ';' and '#' comment lines,
// spaces around '=', section and key names in any case, quoted values) and edits them in
// place, so every line it does not set keeps its text and its place.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class KvIniFile {
public:
    // Anything longer is not a settings file; Load reads only this much of it.
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    enum class LoadResult {
        Loaded,
        Missing,     // no such file: an empty one
        Unreadable,  // exists but cannot be read (not a plain file, no permission): empty
        TooLarge,    // longer than kMaxFileBytes: the lines of its first part
    };

    // Replaces the content with the file's. Never fails on content: a line that is neither a
    // section, an entry nor a comment is kept and ignored.
    LoadResult Load(const std::string& path);
    // Writes every line back. False when the file cannot be written, or when it was loaded
    // only in part (Unreadable or TooLarge), so that no one else's file is cut short.
    bool Save(const std::string& path) const;

    // The value of the first entry of key in a section named section (both in any case),
    // without surrounding blanks and quotes, and without a comment: a ';' or '#' after a blank.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Rewrites the entry that Get finds as "key=value", or adds it at the end of the first
    // such section, or adds the section at the end of the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The file as Save writes it: the line ends of the loaded file (LF for a new one).
    std::string Text() const;

private:
    std::vector<std::string> lines_;
    bool crlf_ = false;
    bool byteOrderMark_ = false;
    bool partial_ = false;
};

}  // namespace kv
