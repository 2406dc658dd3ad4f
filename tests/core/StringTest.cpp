#include <gtest/gtest.h>

#include "ExpectNear.h"
#include "core/KvString.h"
#include "core/Matrix.h"
#include "core/Random.h"

#include <thread>

namespace kv {
namespace {

TEST(KvString, EmptyStringHasLengthZeroAndAValidTerminator) {
    KvString s("");
    EXPECT_EQ(s.Length(), 0u);
    ASSERT_NE(s.CStr(), nullptr);
    EXPECT_EQ(s.CStr()[0], '\0');
    EXPECT_EQ(KvString().Length(), 0u);
}

TEST(KvString, OrdersByUnsignedBytesWithPrefixesFirst) {
    EXPECT_TRUE(KvString("abc").Less("abd"));
    EXPECT_TRUE(KvString("abc").Less("abcd"));
    EXPECT_FALSE(KvString("abcd").Less("abc"));
    EXPECT_TRUE(KvString("B").Less("a"));
    EXPECT_TRUE(KvString("z").Less("\xe9"));  // bytes above 127 sort last
    EXPECT_FALSE(KvString("abc").Less("abc"));
}

TEST(KvString, ComparesAndMeasuresUpToTheFirstZeroByte) {
    KvString embedded("ab\0cd", 5);
    EXPECT_EQ(embedded.Length(), 2u);
    EXPECT_TRUE(embedded.Equals("ab"));
    EXPECT_TRUE(KvString("ab").Differs("abc"));
}

TEST(KvString, BuildsFromOneCharacterAndConcatenates) {
    KvString s('x');
    EXPECT_STREQ(s.CStr(), "x");
    KvString t = s.Concat("yz");
    EXPECT_STREQ(t.CStr(), "xyz");
    EXPECT_STREQ(s.CStr(), "x");
    s.Append("!");
    EXPECT_STREQ(s.CStr(), "x!");
    KvString copy(s);
    copy.At(0) = 'q';
    EXPECT_STREQ(s.CStr(), "x!");
}

TEST(KvString, ChangesCaseOfAsciiLettersOnly) {
    EXPECT_STREQ(KvString("Robot_1.r\xe9").Upper().CStr(), "ROBOT_1.R\xe9");
    EXPECT_STREQ(KvString("MiXeD [Z]").Lower().CStr(), "mixed [z]");
}

TEST(KvString, RightTakesTheLastCharactersOrTheWhole) {
    EXPECT_STREQ(KvString("abc").Right(10).CStr(), "abc");
    EXPECT_STREQ(KvString("abc").Right(0).CStr(), "");
    EXPECT_STREQ(KvString("abc").Right(2).CStr(), "bc");
}

TEST(KvString, FormatsAndCutsVeryLongOutput) {
    KvString s;
    s.Format("%s on line %d", "; expected", 12);
    EXPECT_STREQ(s.CStr(), "; expected on line 12");
    std::string longArg(5000, 'x');
    s.Format("%s", longArg.c_str());
    EXPECT_EQ(s.Length(), 1002u);  // format length 2 + 1000
}

TEST(KvFile, SplitsNameAndExtension) {
    EXPECT_STREQ(KvFile("C:\\robots\\killer.r").FileName().CStr(), "killer.r");
    EXPECT_STREQ(KvFile("robots/killer.r").FileName().CStr(), "killer.r");
    EXPECT_STREQ(KvFile("killer.r").FileName().CStr(), "killer.r");
    EXPECT_STREQ(KvFile("killer.r").Extension().CStr(), "r");
    EXPECT_STREQ(KvFile("killer").Extension().CStr(), "");
    EXPECT_STREQ(KvFile("a.b.tga").Extension().CStr(), "tga");
}

TEST(Matrix, RigidInverseUndoesARotationAndTranslation) {
    // 90 degrees about y, then a translation by (1, 2, 3).
    KvMatrix m = Identity();
    m[0] = 0; m[2] = -1; m[8] = 1; m[10] = 0;
    m[12] = 1; m[13] = 2; m[14] = 3;
    test::ExpectMatrixNear(Product(RigidInverse(m), m), Identity(), 1e-12);
}

TEST(Matrix, ProductAppliesTheRightFactorFirst) {
    KvMatrix translate = Identity();
    translate[12] = 10;
    KvMatrix scale = Identity();
    scale[0] = 2;
    KvVec3 p = TransformPoint(Product(translate, scale), {1, 0, 0});
    EXPECT_DOUBLE_EQ(p.x, 12);  // scaled first, then moved
    KvVec3 d = TransformDirection(Product(translate, scale), {1, 0, 0});
    EXPECT_DOUBLE_EQ(d.x, 2);  // directions ignore the translation
    KvMatrix inPlace = translate;
    ProductInPlace(inPlace, scale);
    EXPECT_EQ(inPlace, Product(translate, scale));
    EXPECT_EQ(Zero(), KvMatrix{});
}

TEST(Random, FollowsTheLinearCongruentialFormulaPerThread) {
    SeedRandom(1);
    EXPECT_EQ(NextRandom(), 41);
    EXPECT_EQ(NextRandom(), 18467);
    EXPECT_EQ(NextRandom(), 6334);
    SeedRandom(1);
    int32_t other = 0;
    std::thread([&] { other = NextRandom(); }).join();  // a fresh thread starts from state 1
    EXPECT_EQ(other, 41);
    EXPECT_EQ(NextRandom(), 41);
}

}  // namespace
}  // namespace kv
