#include "lang/RobotCompiler.h"

#include "lang/CompileError.h"
#include "lang/Linker.h"
#include "lang/Parser.h"

namespace kv {

CompileResult RobotCompiler::Compile(KvIStream& source) {
    CompileResult result;
    Parser parser(TokenizeSource(source));
    parser.Parse();
    KvString detail;
    result.errorCode = parser.GetError(&result.errorLine, &detail);
    if (result.errorCode != 0) {
        result.errorText = ErrorText(result.errorCode, detail);
        result.message = parser.FormatError();
        return result;
    }
    result.program = Link(parser);
    return result;
}

namespace {

// The message for a robot file that cannot be compiled from its path, empty when it can.
KvString FileRefusal(const KvFile& path, KvFileIStream& file) {
    KvString message;
    if (!file.IsOpen()) {
        message.Format("Can't open file '%s'", path.CStr());
    } else if (file.FileSize() > kMaxRobotFileBytes) {
        message.Format("Robot file '%s' is too large (%llu bytes; at most %llu)", path.CStr(),
                       static_cast<unsigned long long>(file.FileSize()),
                       static_cast<unsigned long long>(kMaxRobotFileBytes));
    }
    return message;
}

CompileResult Refused(const KvString& message) {
    CompileResult result;
    result.errorCode = -1;
    result.errorText = message;
    result.message = message;
    return result;
}

}  // namespace

CompileResult RobotCompiler::CompileFile(const KvFile& path) {
    KvFileIStream file(path);
    const KvString refusal = FileRefusal(path, file);
    return refusal.Length() == 0 ? Compile(file) : Refused(refusal);
}

bool RobotCompiler::ReadFile(const KvFile& path, std::string& text, KvString& message) {
    KvFileIStream file(path);
    message = FileRefusal(path, file);
    if (message.Length() != 0) return false;
    text.assign(static_cast<size_t>(file.FileSize()), '\0');
    const int32_t read = text.empty() ? 0 : file.Read(text.data(), static_cast<uint32_t>(text.size()));
    if (read < 0 || static_cast<size_t>(read) != text.size()) {
        message.Format("Can't open file '%s'", path.CStr());
        return false;
    }
    return true;
}

CompileResult RobotCompiler::CompileText(const std::string& text) {
    KvMemIStream stream(text.data(), static_cast<uint32_t>(text.size()));
    return Compile(stream);
}

}  // namespace kv
