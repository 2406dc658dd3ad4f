#pragma once
// Second compiler stage: turns the cleaned text into tokens. Never reports an error:
// unknown characters are dropped and numbers wrap, every complaint comes from the parser.

#include <cstdint>
#include <deque>
#include <utility>

#include "core/KvString.h"
#include "core/Stream.h"

namespace kv {

enum TokenKind : int32_t { Number = 0, Operator = 1, Separator = 2, Identifier = 3, TypeWord = 4, Keyword = 5 };

// Codes of the keyword, separator and operator tokens.
enum KeywordCode : int32_t { kElse = 0, kIf = 1, kReturn = 2, kWhile = 3 };
enum TypeWordCode : int32_t { kStorageWord = 0, kTypeName = 1 };
enum SeparatorCode : int32_t { kSemicolon = 0, kLeftBrace = 1, kRightBrace = 2, kComma = 3, kLeftParen = 4, kRightParen = 5 };
enum OperatorCode : int32_t {
    kAssign = 0, kShrAssign = 1, kShlAssign = 2, kAddAssign = 3, kSubAssign = 4, kMulAssign = 5,
    kDivAssign = 6, kModAssign = 7, kAndAssign = 8, kXorAssign = 9, kOrAssign = 10,
    kShr = 11, kShl = 12, kBitAnd = 13, kNot = 14, kCompl = 15, kBitOr = 17, kIncrement = 18,
    kDecrement = 19, kLogAnd = 20, kLogOr = 21, kLessEqual = 22, kGreaterEqual = 23, kEqual = 24,
    kNotEqual = 25, kLess = 26, kGreater = 27, kMinus = 28, kPlus = 29, kTimes = 30, kDivide = 31,
    kModulo = 32, kBitXor = 33,
};
inline constexpr int32_t kLastAssignmentOperator = kOrAssign;

struct Token {
    int32_t kind = Number;
    int32_t code = 0;  // the value of a number; the table code otherwise; 0 for identifiers
    KvString text;
    int32_t line = 1;

    bool Is(int32_t k, int32_t c) const { return kind == k && code == c; }
};

// A deque, so that the parser can free the tokens it has passed while the code grows.
using TokenList = std::deque<Token>;

class Lexer {
public:
    // The stream must stay alive until Tokenize returns.
    explicit Lexer(KvIStream& input) : input_(input) {}

    // Rewinds the stream and fills the token list.
    void Tokenize();
    const TokenList& Tokens() const { return tokens_; }
    TokenList TakeTokens() { return std::move(tokens_); }

private:
    KvIStream& input_;
    TokenList tokens_;
};

// Runs both front stages over a whole source stream.
TokenList TokenizeSource(KvIStream& source);

}  // namespace kv
