#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/Lexer.h"
#include "lang/Preprocessor.h"

namespace kv {
namespace {

std::string Clean(const std::string& source) {
    KvMemIStream in(source.data(), static_cast<uint32_t>(source.size()));
    std::vector<char> out = Preprocess(in);
    return std::string(out.begin(), out.end());
}

TokenList Lex(const std::string& source) {
    KvMemIStream in(source.data(), static_cast<uint32_t>(source.size()));
    return TokenizeSource(in);
}

// The token texts joined by single spaces, to compare whole token lists at once.
std::string Texts(const std::string& source) {
    std::string joined;
    for (const Token& t : Lex(source)) joined += (joined.empty() ? "" : " ") + t.text.Std();
    return joined;
}

TEST(Preprocessor, TurnsCommentsIntoOneBlankKeepsDivisionsAndEveryLineFeed) {
    const std::pair<const char*, const char*> cases[] = {
        {"a/**/b", "a b"},
        {"a/* x */ b", "a b"},
        {"a/* x * y */b", "a b"},
        {"x/* never closed\ny", "x\n"},  // an unterminated comment swallows the rest
        {"a/* x *\n/b", "a\n b"},         // a star, white space, then a slash ends a comment
        {"a//b", "a//b"},
        {"a / b", "a / b"},
        {"x /= 2", "x /= 2"},
        {"a */ b", "a */ b"},
        {"x\t=\r\n5", "x =\n 5"},
        {"a /* one\ntwo\nthree */ b", "a \n\n b"},
        {"  lead   trail   ", " lead trail"},
    };
    for (const auto& [source, cleaned] : cases) EXPECT_EQ(Clean(source), cleaned) << source;
}

TEST(Lexer, SplitsNumbersWordsSeparatorsAndOperators) {
    TokenList tokens = Lex("int x; main() { x = 12abc; }");
    ASSERT_EQ(tokens.size(), 13u);
    EXPECT_EQ(tokens[0].kind, TypeWord);
    EXPECT_EQ(tokens[0].code, kTypeName);
    EXPECT_EQ(tokens[1].kind, Identifier);
    EXPECT_EQ(tokens[2].kind, Separator);
    EXPECT_EQ(tokens[2].code, kSemicolon);
    EXPECT_EQ(tokens[9].kind, Number);
    EXPECT_EQ(tokens[9].code, 12);
    EXPECT_EQ(tokens[10].text.Std(), "abc");
    EXPECT_EQ(tokens[12].kind, Separator);
    EXPECT_EQ(tokens[12].code, kRightBrace);  // the last character of the text is still a token
}

TEST(Lexer, TakesTheLongestOperatorThroughItsPrefixes) {
    EXPECT_EQ(Texts("a---b"), "a -- - b");
    EXPECT_EQ(Texts("x=-1"), "x = - 1");
    EXPECT_EQ(Texts("!=="), "!= =");
    EXPECT_EQ(Texts("a<<=b>>=c"), "a <<= b >>= c");
    EXPECT_EQ(Texts("a&&&b||||c"), "a && & b || || c");
    TokenList t = Lex("<<=");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].code, kShlAssign);
}

TEST(Lexer, WrapsLongNumbersAndDropsUnknownCharacters) {
    TokenList t = Lex("4294967297 2147483648");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].code, 1);
    EXPECT_EQ(t[1].code, -2147483647 - 1);
    EXPECT_EQ(Texts("a # b $ . \"c\""), "a b c");
}

TEST(Lexer, TellsKeywordsByExactCase) {
    TokenList t = Lex("if If register auto long while else return");
    EXPECT_EQ(t[0].kind, Keyword);
    EXPECT_EQ(t[0].code, kIf);
    EXPECT_EQ(t[1].kind, Identifier);
    EXPECT_EQ(t[2].kind, TypeWord);
    EXPECT_EQ(t[2].code, kStorageWord);
    EXPECT_EQ(t[3].code, kStorageWord);
    EXPECT_EQ(t[4].code, kTypeName);
    EXPECT_EQ(t[5].code, kWhile);
    EXPECT_EQ(t[6].code, kElse);
    EXPECT_EQ(t[7].code, kReturn);
}

TEST(Lexer, CountsLinesThroughCommentsAndLineBreaks) {
    TokenList t = Lex("a\n/* one\ntwo\n*/ b\r\n\tc");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].line, 1);
    EXPECT_EQ(t[1].line, 4);
    EXPECT_EQ(t[2].line, 5);
    EXPECT_EQ(Lex("x\t=\r\n5")[2].line, 2);
}

TEST(Lexer, GivesNoTokensForAnEmptyOrCommentOnlyText) {
    EXPECT_TRUE(Lex("").empty());
    EXPECT_TRUE(Lex("/* nothing here */").empty());
    EXPECT_TRUE(Lex("  \n\n ").empty());
}

}  // namespace
}  // namespace kv
