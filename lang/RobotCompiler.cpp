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

CompileResult RobotCompiler::CompileFile(const KvFile& path) {
    KvFileIStream file(path);
    CompileResult result;
    if (!file.IsOpen()) {
        result.errorText.Format("Can't open file '%s'", path.CStr());
    } else if (file.FileSize() > kMaxRobotFileBytes) {
        result.errorText.Format("Robot file '%s' is too large (%llu bytes; at most %llu)", path.CStr(),
                                static_cast<unsigned long long>(file.FileSize()),
                                static_cast<unsigned long long>(kMaxRobotFileBytes));
    } else {
        return Compile(file);
    }
    result.errorCode = -1;
    result.message = result.errorText;
    return result;
}

}  // namespace kv
