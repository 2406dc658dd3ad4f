#include "lang/Lexer.h"

#include <cstring>

#include "lang/Preprocessor.h"

namespace kv {

namespace {

struct Row {
    const char* text;
    int32_t code;
};

constexpr Row kTypeWords[] = {{"auto", kStorageWord}, {"register", kStorageWord}, {"int", kTypeName}, {"long", kTypeName}};
constexpr Row kKeywords[] = {{"else", kElse}, {"if", kIf}, {"return", kReturn}, {"while", kWhile}};
constexpr Row kSeparators[] = {{";", kSemicolon}, {"{", kLeftBrace}, {"}", kRightBrace},
                               {",", kComma},     {"(", kLeftParen}, {")", kRightParen}};
constexpr Row kOperators[] = {
    {"=", kAssign},   {">>=", kShrAssign}, {"<<=", kShlAssign}, {"+=", kAddAssign},  {"-=", kSubAssign},
    {"*=", kMulAssign}, {"/=", kDivAssign}, {"%=", kModAssign}, {"&=", kAndAssign},  {"^=", kXorAssign},
    {"|=", kOrAssign}, {">>", kShr},        {"<<", kShl},       {"&", kBitAnd},      {"!", kNot},
    {"~", kCompl},    {"|", kBitOr},       {"++", kIncrement}, {"--", kDecrement},  {"&&", kLogAnd},
    {"||", kLogOr},   {"<=", kLessEqual},  {">=", kGreaterEqual}, {"==", kEqual},   {"!=", kNotEqual},
    {"<", kLess},     {">", kGreater},     {"-", kMinus},      {"+", kPlus},        {"*", kTimes},
    {"/", kDivide},   {"%", kModulo},      {"^", kBitXor},
};
constexpr const char* kOperatorChars = "<>=+-*/!~%^&|";

template <std::size_t N>
const Row* Find(const Row (&table)[N], const std::string& text) {
    for (const Row& row : table)
        if (text == row.text) return &row;
    return nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

}  // namespace

void Lexer::Tokenize() {
    tokens_.clear();
    input_.Seek(0, SeekOrigin::Begin);
    std::string text;
    char chunk[4096];
    for (int32_t n; (n = input_.Read(chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<std::size_t>(n));

    int32_t line = 1;
    std::size_t i = 0;
    const std::size_t end = text.size();
    auto emit = [&](int32_t kind, int32_t code, std::string word) {
        tokens_.push_back(Token{kind, code, KvString(word.data(), word.size()), line});
    };
    while (i < end) {
        char c = text[i];
        if (c == ' ' || c == '\n') {
            if (c == '\n') ++line;
            ++i;
            continue;
        }
        if (IsDigit(c)) {
            std::size_t start = i;
            uint32_t value = 0;
            while (i < end && IsDigit(text[i])) value = value * 10u + static_cast<uint32_t>(text[i++] - '0');
            emit(Number, static_cast<int32_t>(value), text.substr(start, i - start));
        } else if (IsLetter(c)) {
            std::size_t start = i;
            while (i < end && (IsLetter(text[i]) || IsDigit(text[i]))) ++i;
            std::string word = text.substr(start, i - start);
            if (const Row* row = Find(kTypeWords, word)) emit(TypeWord, row->code, word);
            else if (const Row* kw = Find(kKeywords, word)) emit(Keyword, kw->code, word);
            else emit(Identifier, 0, word);
        } else if (const Row* sep = Find(kSeparators, std::string(1, c))) {
            emit(Separator, sep->code, std::string(1, c));
            ++i;
        } else if (std::strchr(kOperatorChars, c) && c != '\0') {
            // Longest match, growing only through texts that are themselves operators.
            std::string op(1, c);
            ++i;
            while (i < end && Find(kOperators, op + text[i])) op += text[i++];
            emit(Operator, Find(kOperators, op)->code, op);
        } else {
            ++i;  // dropped without a message
        }
    }
}

TokenList TokenizeSource(KvIStream& source) {
    std::vector<char> cleaned = Preprocess(source);
    KvMemIStream stream(cleaned.data(), static_cast<uint32_t>(cleaned.size()));
    Lexer lexer(stream);
    lexer.Tokenize();
    return lexer.TakeTokens();
}

}  // namespace kv
