#pragma once
// An initialisation file: "[Section]" lines, then "key=value" lines. Reads files written by
// other programs (CRLF, LF or CR line ends, mixed, a UTF-8 byte-order mark, ';' and '#'
// comment lines, spaces around '=', section and key names in any case, quoted values) and
// edits them in place: Set changes only the bytes of one value, and every other byte of the
// file, each line's own end included, is written back as it was read.
//
// A value is the text after '=' without the blanks round it. One that starts with a double
// or single quote closed again later is the text between the quotes; what follows the
// closing quote is not part of it. Otherwise a ';' or '#' after a blank starts a comment,
// which is not part of the value either: Sound=On ;x reads On, Sound=x;y reads x;y, and
// Sound="On ;x" reads On ;x.

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
    // Replaces the content with text, as Load does with the bytes of a file.
    void SetText(std::string_view text);
    // Writes every line into a new file beside path and renames it over path (the file a
    // symbolic link names), so that a failed write leaves the old file whole. False, with
    // the reason in why, when it cannot be written or when it was loaded only in part
    // (Unreadable or TooLarge), so that no one else's file is cut short.
    bool Save(const std::string& path, std::string* why = nullptr) const;

    // The value of the first entry of key in a section named section (both in any case).
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Replaces the value of the entry that Get finds, keeping the rest of its line, or adds
    // "key=value" after the last entry of the first such section, or adds the section at the
    // end of the file. value is a word that reads back as itself: no line break, no quote,
    // no blank at either end and no ';' or '#' after a blank.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The file as Save writes it.
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string_view end;  // "\r\n", "\n" or "\r"; empty only for a last line without one
    };
    // Adds a line before index at, with the end of the line before it, which gets the file's
    // first line end if it had none.
    void Insert(std::size_t at, std::string text);

    std::vector<Line> lines_;
    std::string_view newLineEnd_ = "\n";  // the file's first line end
    bool byteOrderMark_ = false;
    const char* partial_ = nullptr;  // why Save refuses: the file was read only in part
};

}  // namespace kv
