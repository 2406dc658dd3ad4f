#pragma once
// One entry point from robot source to a linked program or the one error message.

#include <cstdint>
#include <optional>
#include <string>

#include "core/KvString.h"
#include "core/Stream.h"
#include "vm/RobotProgram.h"

namespace kv {

// Robot programs are small: a file above this many bytes is refused before it is read.
inline constexpr uint64_t kMaxRobotFileBytes = 1048576;

struct CompileResult {
    std::optional<RobotProgram> program;  // set on success
    int32_t errorCode = 0;                // 0 on success
    int32_t errorLine = 0;
    KvString errorText;                   // error text with its detail, without " on line N"
    KvString message;                     // the full message, e.g. "; expected on line 12"
    bool Ok() const { return program.has_value(); }
};

class RobotCompiler {
public:
    // Preprocesses, tokenises, parses and links the whole source stream.
    static CompileResult Compile(KvIStream& source);
    // Reads and compiles a file. A file that cannot be opened (or is not a regular file) gives
    // errorCode -1 and the message "Can't open file '<path>'"; one above kMaxRobotFileBytes
    // gives -1 and "Robot file '<path>' is too large (<N> bytes; at most 1048576)".
    static CompileResult CompileFile(const KvFile& path);
    // Reads a robot file whole, refusing it as CompileFile does; false with that message.
    static bool ReadFile(const KvFile& path, std::string& text, KvString& message);
    // Compiles source text held in memory (a battle file's, or one read already).
    static CompileResult CompileText(const std::string& text);
};

}  // namespace kv
