#pragma once
// The program's own string (a byte string compared as C strings) and the file path built on it.

#include <compare>
#include <cstddef>
#include <string>

namespace kv {

// A byte string with value semantics. Comparisons and Length() stop at the first
// zero byte, so a string read from a stream with an embedded zero behaves as its
// prefix, just as a zero-terminated block would.
class KvString {
public:
    KvString() = default;
    explicit KvString(char c) : text_(1, c) {}
    KvString(const char* s) : text_(s ? s : "") {}  // NOLINT: implicit on purpose, like a C string
    KvString(const char* data, std::size_t n) : text_(data, n) {}
    KvString(const KvString&) = default;
    KvString& operator=(const KvString&) = default;
    // Declared because the virtual destructor would otherwise turn every move into a copy.
    KvString(KvString&&) noexcept = default;
    KvString& operator=(KvString&&) noexcept = default;
    virtual ~KvString() = default;

    std::size_t Length() const;
    char& At(std::size_t i) { return text_[i]; }
    char At(std::size_t i) const { return text_[i]; }

    void Assign(const KvString& other) { text_ = other.text_; }
    void Append(const KvString& other) { text_ += other.text_; }
    KvString Concat(const KvString& other) const;

    bool Equals(const KvString& other) const;
    bool Differs(const KvString& other) const { return !Equals(other); }
    // Unsigned byte order; a proper prefix is less. Orders every map keyed by name.
    bool Less(const KvString& other) const;

    KvString Upper() const;
    KvString Lower() const;
    KvString Right(std::size_t n) const;

    // printf-style; output longer than the format plus 1000 bytes is cut there.
    KvString& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const char* CStr() const { return text_.c_str(); }
    std::string Std() const { return std::string(CStr()); }

    bool operator==(const KvString& other) const { return Equals(other); }
    bool operator<(const KvString& other) const { return Less(other); }

private:
    std::string text_;
};

// A path. Accepts both separators: the backslash of stored paths and the slash of this platform.
class KvFile : public KvString {
public:
    KvFile() = default;
    KvFile(const KvString& s) : KvString(s) {}  // NOLINT
    KvFile(const char* s) : KvString(s) {}      // NOLINT

    // The part after the last separator; the whole path when there is none.
    KvString FileName() const;
    // The part after the last full stop, without it; empty when there is none.
    KvString Extension() const;
};

}  // namespace kv
