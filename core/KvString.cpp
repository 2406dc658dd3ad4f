#include "core/KvString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kv {

std::size_t KvString::Length() const { return std::strlen(text_.c_str()); }

KvString KvString::Concat(const KvString& other) const {
    KvString result(*this);
    result.Append(other);
    return result;
}

bool KvString::Equals(const KvString& other) const { return std::strcmp(CStr(), other.CStr()) == 0; }

bool KvString::Less(const KvString& other) const { return std::strcmp(CStr(), other.CStr()) < 0; }

KvString KvString::Upper() const {
    KvString result(CStr());
    for (char& c : result.text_)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return result;
}

KvString KvString::Lower() const {
    KvString result(CStr());
    for (char& c : result.text_)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return result;
}

KvString KvString::Right(std::size_t n) const {
    std::size_t len = Length();
    if (n > len) return KvString(CStr());
    return KvString(CStr() + (len - n));
}

KvString& KvString::Format(const char* format, ...) {
    std::vector<char> scratch(std::strlen(format) + 1001);
    va_list args;
    va_start(args, format);
    std::vsnprintf(scratch.data(), scratch.size(), format, args);
    va_end(args);
    text_ = scratch.data();
    return *this;
}

KvString KvFile::FileName() const {
    const char* s = CStr();
    const char* cut = std::strrchr(s, '\\');
    const char* slash = std::strrchr(s, '/');
    if (slash && (!cut || slash > cut)) cut = slash;
    return KvString(cut ? cut + 1 : s);
}

KvString KvFile::Extension() const {
    const char* dot = std::strrchr(CStr(), '.');
    return KvString(dot ? dot + 1 : "");
}

}  // namespace kv
