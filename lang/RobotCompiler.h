#pragma once
// One entry point from robot source to a linked program or the one error message.

#include <optional>

#include "core/KvString.h"
#include "core/Stream.h"
#include "vm/RobotProgram.h"

namespace kv {

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
    // Reads and compiles a file; a file that cannot be opened gives errorCode -1
    // and the message "Can't open file '<path>'".
    static CompileResult CompileFile(const KvFile& path);
};

}  // namespace kv
