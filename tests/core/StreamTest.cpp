#include <gtest/gtest.h>

#include <string>

#include "Fifo.h"
#include "TempFolder.h"
#include "core/Stream.h"

namespace kv {
namespace {

TEST(ElasticStream, GrowsToMultiplesOfOneHundredBytes) {
    KvElasticMemOStream out;
    EXPECT_EQ(out.Capacity(), 100u);
    std::string bytes(250, 'a');
    out.Write(bytes.data(), 100);
    EXPECT_EQ(out.Capacity(), 100u);
    out.Write(bytes.data(), 1);
    EXPECT_EQ(out.Capacity(), 200u);
    KvElasticMemOStream big;
    big.Write(bytes.data(), 250);
    EXPECT_EQ(big.Capacity(), 300u);
    EXPECT_EQ(big.size, 250u);
}

// Regression: the capacity grew by 100 bytes at a time, so a text written byte by byte
// was copied once per 100 bytes and compiling a large robot file took quadratic time.
TEST(ElasticStream, AtLeastDoublesItsCapacityWhenWrittenByteByByte) {
    KvElasticMemOStream out;
    int growths = 0;
    for (uint32_t i = 0, capacity = out.Capacity(); i < 1000000; ++i) {
        out.Write("x", 1);
        if (out.Capacity() == capacity) continue;
        ++growths;
        EXPECT_GE(out.Capacity(), 2 * capacity);
        EXPECT_EQ(out.Capacity() % 100, 0u);
        capacity = out.Capacity();
    }
    EXPECT_EQ(growths, 14);  // 100 * 2^14 is the first capacity above a million
    EXPECT_EQ(out.size, 1000000u);
    EXPECT_EQ(out.Data()[999999], 'x');
}

// Regression: a seek before the start wrapped the position, and the next write
// computed a small size and wrote before the block.
TEST(ElasticStream, RefusesASeekBeforeTheStartAndKeepsItsPosition) {
    KvElasticMemOStream out;
    out.Write("abcd", 4);
    EXPECT_TRUE(out.Seek(-10, SeekOrigin::Begin));
    EXPECT_EQ(out.GetPos(), 4);
    EXPECT_TRUE(out.Seek(-5, SeekOrigin::Current));
    EXPECT_TRUE(out.Seek(-5, SeekOrigin::End));
    EXPECT_EQ(out.GetPos(), 4);
    EXPECT_EQ(out.Write("ef", 2), 2);
    EXPECT_EQ(out.size, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Data()), 6), "abcdef");
    EXPECT_FALSE(out.Seek(-6, SeekOrigin::End));
    EXPECT_EQ(out.GetPos(), 0);
}

TEST(ElasticStream, KeepsContentWhenGrowingAndOverwritingAfterASeek) {
    KvElasticMemOStream out;
    for (int i = 0; i < 1000; ++i) {
        char c = static_cast<char>('a' + i % 26);
        out.Write(&c, 1);
    }
    EXPECT_EQ(out.size, 1000u);
    EXPECT_EQ(out.Data()[999], 'a' + 999 % 26);
    EXPECT_FALSE(out.Seek(10, SeekOrigin::Begin));
    out.Write("XY", 2);
    EXPECT_EQ(out.size, 1000u);  // size is the highest position written
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Data()) + 9, 4), "jXYm");
    EXPECT_TRUE(out.Seek(1, SeekOrigin::End));
    EXPECT_EQ(out.GetPos(), 1001);
}

TEST(MemoryStream, SeeksReportFailurePastTheEndButStillMove) {
    const char data[] = {1, 2, 3};
    KvMemIStream in(data, 3);
    EXPECT_FALSE(in.Seek(0, SeekOrigin::End));
    EXPECT_TRUE(in.IsEof());
    EXPECT_TRUE(in.Seek(1, SeekOrigin::End));
    EXPECT_EQ(in.GetPos(), 4);
    EXPECT_TRUE(in.Seek(5, SeekOrigin::Begin));
    EXPECT_TRUE(in.IsEof());
    EXPECT_FALSE(in.Seek(3, SeekOrigin::Begin));
    EXPECT_TRUE(in.IsEof());
    EXPECT_FALSE(in.Seek(-2, SeekOrigin::Current));
    EXPECT_EQ(in.GetPos(), 1);
    EXPECT_FALSE(in.IsEof());
}

// Regression: a seek before the start reported success with a wrapped position.
TEST(MemoryStream, RefusesASeekBeforeTheStartAndKeepsItsPosition) {
    const char data[] = {'a', 'b', 'c'};
    KvMemIStream in(data, 3);
    in.Seek(1, SeekOrigin::Begin);
    EXPECT_TRUE(in.Seek(-1, SeekOrigin::Begin));
    EXPECT_TRUE(in.Seek(-2, SeekOrigin::Current));
    EXPECT_TRUE(in.Seek(-4, SeekOrigin::End));
    EXPECT_EQ(in.GetPos(), 1);
    char c = 0;
    EXPECT_EQ(in.Read(&c, 1), 1);
    EXPECT_EQ(c, 'b');
}

TEST(MemoryStream, ClampsAReadThatPassesTheEndOfTheBlock) {
    const char data[] = {'a', 'b', 'c'};
    KvMemIStream in(data, 3);
    char buffer[8] = {};
    in.Seek(1, SeekOrigin::Begin);
    EXPECT_EQ(in.Read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "bc");
    EXPECT_EQ(in.Read(buffer, 8), 0);
    in.Seek(10, SeekOrigin::Begin);
    EXPECT_EQ(in.Read(buffer, 1), 0);
    KvMemIStream empty(nullptr, 0);
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(empty.Read(buffer, 1), 0);
}

TEST(ReadString, ReadsALengthThenTheBytes) {
    const unsigned char data[] = {3, 0, 0, 0, 'B', 'o', 'x', 0, 0, 0, 0, 9, 0, 0, 0, 'a'};
    KvMemIStream in(data, sizeof data);
    KvString s("old");
    EXPECT_TRUE(ReadString(in, s));
    EXPECT_STREQ(s.CStr(), "Box");
    EXPECT_TRUE(ReadString(in, s));
    EXPECT_STREQ(s.CStr(), "");
    EXPECT_EQ(in.GetPos(), 11);
    EXPECT_FALSE(ReadString(in, s));  // announces 9 bytes, holds 1
    EXPECT_STREQ(s.CStr(), "a");
}

TEST(ReadString, SurvivesAHugeAnnouncedLength) {
    const unsigned char data[] = {0xff, 0xff, 0xff, 0xff, 'x'};
    KvMemIStream in(data, sizeof data);
    KvString s;
    EXPECT_FALSE(ReadString(in, s));
    EXPECT_STREQ(s.CStr(), "x");
}

using FileStream = test::TempFolder;

TEST_F(FileStream, MeasuresTheFileAndReachesEofOnlyAfterAShortRead) {
    KvFileIStream in(KvFile(Write("hello.txt", std::string("hello")).c_str()));
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(in.size, 5u);
    EXPECT_EQ(in.GetPos(), 0);
    char buffer[8];
    EXPECT_EQ(in.Read(buffer, 5), 5);
    EXPECT_FALSE(in.IsEof());  // position equals size, but no read has run short yet
    EXPECT_EQ(in.Read(buffer, 1), 0);
    EXPECT_TRUE(in.IsEof());
    EXPECT_FALSE(in.Seek(1, SeekOrigin::Begin));
    EXPECT_EQ(in.Read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "el");
}

TEST_F(FileStream, AMissingFileAnswersAsClosed) {
    KvFileIStream in(KvFile("/nonexistent/kolvex/robot.r"));
    char c;
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.size, 0u);
    EXPECT_EQ(in.GetPos(), -1);
    EXPECT_TRUE(in.Seek(0, SeekOrigin::Begin));
    EXPECT_TRUE(in.IsEof());
    EXPECT_EQ(in.Read(&c, 1), 0);
}

// Regression: a FIFO was opened like a file, which blocks until a writer comes, and a device
// or a directory opened as an (endless or empty) file.
TEST_F(FileStream, OpensOnlyRegularFilesAndNeverAFifo) {
    test::Fifo fifo(Path("robot.r"));
    ASSERT_TRUE(fifo.Made());
    std::filesystem::create_directory(Path("folder.r"));
    std::filesystem::create_symlink(Write("real.r", std::string("main(){}")), Path("link.r"));
    const std::pair<std::string, FileProblem> cases[] = {
        {fifo.Path(), FileProblem::NotRegular},    {Path("folder.r"), FileProblem::NotRegular},
        {"/dev/null", FileProblem::NotRegular},    {Path("missing.r"), FileProblem::Missing},
        {Path("real.r/x"), FileProblem::Missing},  {Path("link.r"), FileProblem::None},
    };
    for (const auto& [path, problem] : cases) {
        FileProblem why = FileProblem::None;
        std::FILE* file = OpenRegularFile(path.c_str(), &why);
        EXPECT_EQ(file != nullptr, problem == FileProblem::None) << path;
        EXPECT_EQ(why, problem) << path;
        if (file) std::fclose(file);
        EXPECT_EQ(KvFileIStream(path.c_str()).IsOpen(), problem == FileProblem::None) << path;
    }
    EXPECT_FALSE(fifo.WasOpened());
}

}  // namespace
}  // namespace kv
