#include "lang/CompileError.h"

#include <string>

namespace kv {

KvString ErrorText(int32_t code, const KvString& detail) {
    const char* text = nullptr;
    switch (code) {
#define KV_COMPILE_ERROR_TEXT(name, number, message) \
    case number: text = message; break;
        KV_COMPILE_ERRORS(KV_COMPILE_ERROR_TEXT)
#undef KV_COMPILE_ERROR_TEXT
    }
    if (!text) return "Unknown error";
    std::string result = text;
    if (auto at = result.find("%s"); at != std::string::npos) result.replace(at, 2, detail.CStr());
    return KvString(result.c_str());
}

}  // namespace kv
