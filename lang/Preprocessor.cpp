#include "lang/Preprocessor.h"

namespace kv {

namespace {

void Put(KvElasticMemOStream& out, char c) { out.Write(&c, 1); }

}  // namespace

// Runs of white space become one space, written just before the next visible
// character; a comment counts as white space; "//" is two division operators.
std::vector<char> Preprocess(KvIStream& input) {
    KvElasticMemOStream out;
    bool pendingSpace = false, pendingSlash = false, pendingStar = false, inComment = false;
    char ch = 0;
    while (input.Read(&ch, 1) == 1) {
        switch (ch) {
            case '\t': case '\n': case '\r': case ' ':
                if (!inComment) {
                    pendingSpace = true;
                    if (pendingSlash) {
                        Put(out, '/');
                        pendingSlash = false;
                    } else if (pendingStar) {
                        Put(out, '*');
                        pendingStar = false;
                    }
                }
                if (ch == '\n') Put(out, '\n');
                break;
            case '*':
                if (pendingSlash) {
                    inComment = true;
                    pendingSpace = true;
                    pendingSlash = false;
                } else if (!inComment) {
                    if (pendingSpace) {
                        Put(out, ' ');
                        pendingSpace = false;
                    }
                    Put(out, '*');
                } else {
                    pendingStar = true;
                }
                break;
            case '/':
                if (pendingStar) {
                    pendingStar = false;
                    inComment = false;
                } else if (!inComment) {
                    if (pendingSpace) {
                        Put(out, ' ');
                        pendingSpace = false;
                    }
                    if (pendingSlash) Put(out, '/');
                    else pendingSlash = true;
                }
                break;
            default:
                pendingStar = false;
                if (inComment) break;
                if (pendingSlash) {
                    Put(out, '/');
                    pendingSlash = false;
                } else if (pendingSpace) {
                    Put(out, ' ');
                    pendingSpace = false;
                }
                Put(out, ch);
                break;
        }
    }
    return std::vector<char>(out.Data(), out.Data() + out.size);
}

}  // namespace kv
