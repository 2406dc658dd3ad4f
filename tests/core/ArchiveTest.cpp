#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "Fifo.h"
#include "TempFolder.h"
#include "core/KvFS.h"

namespace kv {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Archive bytes laid out by hand and scrambled straight from the table, so that the reader is
// checked against the format rather than against our own writer.
struct HandMade {
    std::vector<uint8_t> plain = Bytes("KVFS");

    HandMade& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) plain.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    HandMade& Text(const std::string& s) {
        plain.insert(plain.end(), s.begin(), s.end());
        return *this;
    }
    // An index at 8 with one entry "a" of 4 bytes at offset, which is 25 for data ending the file.
    static HandMade OneEntryAt(uint32_t offset) { return HandMade().U32(8).U32(1).U32(1).Text("a").U32(offset).U32(4); }

    std::vector<uint8_t> Scrambled() const {
        std::vector<uint8_t> out = plain;
        for (size_t p = 4; p < out.size(); ++p) out[p] ^= ScrambleTable()[p % kScrambleTableSize];
        return out;
    }
};

class Archive : public test::TempFolder {
protected:
    KvFile Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        return TempFolder::Write(name, bytes).c_str();
    }

    KvFile WriteArchiveOf(const std::vector<KvFSWriteEntry>& entries) const {
        return Write("a.kvfs", *BuildArchive(entries));
    }

    static std::vector<uint8_t> ReadAll(KvIStream& in) {
        std::vector<uint8_t> data(in.size);
        if (!data.empty()) {
            EXPECT_EQ(in.Read(data.data(), in.size), static_cast<int32_t>(in.size));
        }
        return data;
    }
};

TEST_F(Archive, OpensAnEmptyIndexAndFindsNothing) {
    KvFS fs(Write("a.kvfs", HandMade().U32(8).U32(0).Scrambled()));
    EXPECT_TRUE(fs.IsOpen());
    EXPECT_TRUE(fs.Entries().empty());
    EXPECT_EQ(fs.Open("anything"), nullptr);
    KvFSIStream in(&fs, "anything");
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.GetPos(), -1);
    EXPECT_TRUE(in.Seek(0, SeekOrigin::Begin));
    EXPECT_FALSE(in.IsEof());
}

TEST_F(Archive, ReadsAHandScrambledEntryThatEndsTheFile) {
    KvFS fs(Write("a.kvfs", HandMade::OneEntryAt(25).Text("wxyz").Scrambled()));
    KvFSIStream in(&fs, "a");
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(ReadAll(in), Bytes("wxyz"));
    EXPECT_TRUE(in.IsEof());
}

TEST_F(Archive, ScramblesByAbsoluteOffsetModuloTheTableSize) {
    std::vector<uint8_t> zeros(2100, 0);
    Unscramble(zeros.data(), static_cast<uint32_t>(zeros.size()), 0);
    EXPECT_EQ(zeros[1000], ScrambleTable()[0]);
    EXPECT_EQ(zeros[2000], ScrambleTable()[0]);
    EXPECT_EQ(zeros[1999], ScrambleTable()[999]);

    std::vector<uint8_t> split(30, 0), whole(30, 0);
    Unscramble(split.data(), 10, 995);
    Unscramble(split.data() + 10, 20, 1005);
    Unscramble(whole.data(), 30, 995);
    EXPECT_EQ(split, whole);
}

TEST_F(Archive, ReadsAnEntryInPiecesAndTwoStreamsIndependently) {
    std::vector<uint8_t> data(3000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    KvFS fs(WriteArchiveOf({{"a", Bytes("abcdef")}, {"b", Bytes("uvwxyz")}, {"big", data}}));

    KvFSIStream pieces(&fs, "big");
    std::vector<uint8_t> got(data.size());
    EXPECT_EQ(pieces.Read(got.data(), 10), 10);
    EXPECT_EQ(pieces.GetPos(), 10);
    EXPECT_EQ(pieces.Read(got.data() + 10, 2990), 2990);
    EXPECT_EQ(got, data);

    KvFSIStream a(&fs, "a"), b(&fs, "b");
    std::string alternate;
    for (int i = 0; i < 12; ++i) {
        char c;
        ASSERT_EQ((i % 2 ? b : a).Read(&c, 1), 1);
        alternate += c;
    }
    EXPECT_EQ(alternate, "aubvcwdxeyfz");
}

TEST_F(Archive, TellsNamesApartByCaseAndLetsTheLaterOfTwoSameNamesWin) {
    KvFS fs(WriteArchiveOf({{"GRASS2.jpg", Bytes("upper")}, {"grass2.JPG", Bytes("mixed")},
                            {"dup", Bytes("old")}, {"dup", Bytes("newer")}}));
    KvFSIStream upper(&fs, "GRASS2.jpg"), mixed(&fs, "grass2.JPG"), lower(&fs, "grass2.jpg"), dup(&fs, "dup");
    EXPECT_EQ(ReadAll(upper), Bytes("upper"));
    EXPECT_EQ(ReadAll(mixed), Bytes("mixed"));
    EXPECT_FALSE(lower.IsOpen());
    EXPECT_EQ(ReadAll(dup), Bytes("newer"));
    EXPECT_EQ(fs.Entries().size(), 4u);
}

TEST_F(Archive, ReadsAndSeeksOnlyWithinAnEntry) {
    KvFS fs(WriteArchiveOf({{"a", Bytes("0123456789")}, {"b", Bytes("def")}}));
    KvFSIStream in(&fs, "a");
    char buffer[16] = {};
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 10);
    EXPECT_EQ(std::string(buffer, 11), std::string("0123456789\0", 11));
    EXPECT_EQ(in.Read(buffer, 1), 0);
    EXPECT_TRUE(in.IsEof());

    const std::tuple<int, SeekOrigin, char> steps[] = {{4, SeekOrigin::Begin, '4'}, {2, SeekOrigin::Current, '7'},
                                                       {-1, SeekOrigin::End, '9'}};
    char c = 0;
    for (auto [offset, origin, expected] : steps) {
        EXPECT_FALSE(in.Seek(offset, origin));
        EXPECT_EQ(in.Read(&c, 1), 1);
        EXPECT_EQ(c, expected);
    }
    EXPECT_TRUE(in.IsEof());
    EXPECT_FALSE(in.Seek(0, SeekOrigin::End));
    EXPECT_TRUE(in.IsEof());
    EXPECT_TRUE(in.Seek(1, SeekOrigin::End));  // fails but still moves
    EXPECT_FALSE(in.IsEof());
    EXPECT_EQ(in.GetPos(), 11);
    EXPECT_EQ(in.Read(&c, 1), 0);
    EXPECT_FALSE(in.Seek(-3, SeekOrigin::End));
    EXPECT_TRUE(in.Seek(-1, SeekOrigin::Begin));  // before the start fails and stays put
    EXPECT_TRUE(in.Seek(-8, SeekOrigin::Current));
    EXPECT_EQ(in.GetPos(), 7);
    EXPECT_EQ(in.Read(&c, 1), 1);
    EXPECT_EQ(c, '7');
}

TEST_F(Archive, StaysClosedForAMissingFileOrAForeignMagic) {
    KvFS missing(Path("nothing-here.kvfs").c_str());
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(KvFSIStream(&missing, "a").IsOpen());

    std::vector<uint8_t> bytes = *BuildArchive({{"a", Bytes("abc")}});
    bytes[0] = 'k';
    KvFS foreign(Write("foreign.kvfs", bytes));
    EXPECT_FALSE(foreign.IsOpen());
    EXPECT_EQ(foreign.Open("a"), nullptr);

    KvFSIStream noArchive(nullptr, "a");
    EXPECT_FALSE(noArchive.IsOpen());
    EXPECT_EQ(noArchive.Read(&bytes[0], 1), 0);
}

TEST_F(Archive, RejectsAnIndexOrAnEntryThatRunsPastTheEnd) {
    std::vector<uint8_t> good = *BuildArchive({{"alpha", Bytes("0123456789")}, {"beta", Bytes("xyz")}});
    ASSERT_TRUE(KvFS(Write("good.kvfs", good)).IsOpen());
    // Every truncation inside the index, and of the header, must reject the whole archive.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        KvFS fs(Write("cut.kvfs", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut))));
        EXPECT_FALSE(fs.IsOpen()) << "cut at " << cut;
        EXPECT_TRUE(fs.Entries().empty());
    }

    const std::pair<const char*, HandMade> rejected[] = {
        {"index past the end", HandMade().U32(1000).U32(0)},
        {"huge entry count", HandMade().U32(8).U32(0x7FFFFFFF)},
        {"name past the end", HandMade().U32(8).U32(1).U32(0xFFFFFFF0u).U32(0).U32(0)},
        {"entry one byte short", HandMade::OneEntryAt(25).Text("wxy")},
        {"entry end wrapping in 32 bits", HandMade::OneEntryAt(0xFFFFFFF0u).Text("wxyz")},
    };
    for (const auto& [what, archive] : rejected) {
        EXPECT_FALSE(KvFS(Write("bad.kvfs", archive.Scrambled())).IsOpen()) << what;
    }
}

// Regression: every archive that could not be read was taken as missing, and a negative entry
// count as an empty archive.
TEST_F(Archive, SaysWhetherItIsMissingOrWhatIsDamaged) {
    std::vector<uint8_t> good = *BuildArchive({{"alpha", Bytes("0123456789")}, {"beta", Bytes("xyz")}});
    test::Fifo fifo(Path("fifo.kvfs"));
    ASSERT_TRUE(fifo.Made());
    const std::pair<std::string, std::string> cases[] = {
        {Path("missing.kvfs"), " not found"},
        {Path("."), " is damaged: not a regular file"},
        {fifo.Path(), " is damaged: not a regular file"},
        {"/dev/zero", " is damaged: not a regular file"},
        {Write("short.kvfs", Bytes("KVF")).Std(), " is damaged: bad header"},
        {Write("foreign.kvfs", Bytes("PK\3\4 and more")).Std(), " is damaged: bad header"},
        {Write("cut.kvfs", std::vector<uint8_t>(good.begin(), good.end() - 3)).Std(), " is damaged: bad index"},
        {Write("negative.kvfs", HandMade().U32(8).U32(0xFFFFFFFFu).Scrambled()).Std(), " is damaged: bad index"},
        {Write("long.kvfs", HandMade::OneEntryAt(25).Text("wxy").Scrambled()).Std(),
         " is damaged: the entry 'a' runs past the end"},
    };
    for (const auto& [path, problem] : cases) {
        KvFS fs(path.c_str());
        EXPECT_FALSE(fs.IsOpen()) << path;
        EXPECT_EQ(fs.Problem().Std(), path + problem);
        EXPECT_TRUE(fs.Entries().empty()) << path;
    }
    EXPECT_FALSE(fifo.WasOpened());
    EXPECT_EQ(KvFS(Write("good.kvfs", good)).Problem().Std(), "");
}

TEST_F(Archive, SurvivesCorruptedBytesAnywhere) {
    std::vector<uint8_t> good = *BuildArchive({{"alpha", Bytes("0123456789")}, {"beta", Bytes("xyz")}});
    for (size_t at = 0; at < good.size(); ++at) {
        for (uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::vector<uint8_t> bad = good;
            bad[at] ^= flip;
            KvFS fs(Write("bad.kvfs", bad));
            for (const KvFSEntry& e : fs.Entries()) {
                KvFSIStream in(&fs, e.name);
                ASSERT_TRUE(in.IsOpen());
                std::vector<uint8_t> data(in.size + 8);
                EXPECT_LE(in.Read(data.data(), static_cast<uint32_t>(data.size())), static_cast<int32_t>(in.size));
            }
        }
    }
}

TEST_F(Archive, WritesWhatItReadsBackUntilClosed) {
    std::vector<KvFSWriteEntry> entries = {
        {"empty", {}}, {"robot.3d", Bytes("model bytes")}, {"GRASS2.jpg", std::vector<uint8_t>(2500, 0xAB)}};
    KvFile path = Path("round.kvfs").c_str();
    ASSERT_TRUE(WriteArchive(path, entries));
    KvFS fs(path);
    ASSERT_EQ(fs.Entries().size(), 3u);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(fs.Entries()[i].name, entries[i].name);
        KvFSIStream in(&fs, entries[i].name);
        EXPECT_EQ(ReadAll(in), entries[i].data);
        EXPECT_TRUE(in.IsEof());
    }
    EXPECT_FALSE(WriteArchive(Path("no-such-dir/x.kvfs").c_str(), entries));

    fs.Close();
    EXPECT_FALSE(fs.IsOpen());
    EXPECT_EQ(fs.Find("robot.3d"), nullptr);
    EXPECT_EQ(fs.Open("robot.3d"), nullptr);
}

// The kvfs tool, run as a player or the build would run it.
class KvfsTool : public Archive {
protected:
    int Run(const std::string& args, std::string* output = nullptr) {
        int status = std::system((std::string(KVFS_TOOL) + " " + args + " >" + Path("tool.out") + " 2>&1").c_str());
        if (output) *output = Read<std::string>("tool.out");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(KvfsTool, PacksListsAndExtractsAnArchive) {
    std::vector<uint8_t> picture(1234);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i % 251);
    std::string pic = Write("pic.jpg", picture).Std();
    std::string snd = Write("snd.wav", Bytes("RIFF....")).Std();
    std::string list = Write("list.txt", Bytes("# resources\nhit.wav=" + snd + "\n\n")).Std();
    std::string archive = Path("out.kvfs");

    ASSERT_EQ(Run("pack " + archive + " GRASS2.jpg=" + pic + " @" + list), 0);
    std::string listing;
    ASSERT_EQ(Run("list " + archive, &listing), 0);
    EXPECT_EQ(listing, "GRASS2.jpg 8 1234\nhit.wav 1242 8\n");
    ASSERT_EQ(Run("extract " + archive + " GRASS2.jpg " + Path("back.jpg")), 0);
    EXPECT_EQ(Read("back.jpg"), picture);
    ASSERT_EQ(Run("extract " + archive + " hit.wav " + Path("back.wav")), 0);
    EXPECT_EQ(Read("back.wav"), Bytes("RIFF...."));
}

TEST_F(KvfsTool, RefusesBadRequestsWithAMessage) {
    std::string pic = Write("pic.jpg", Bytes("x")).Std();
    std::string archive = Path("out.kvfs");
    std::string message;
    for (const auto& [args, expected] : std::vector<std::pair<std::string, const char*>>{
             {"pack " + archive + " nameonly", "NAME=PATH"},
             {"pack " + archive + " a=" + pic + " a=" + pic, "twice"},
             {"pack " + archive + " a=" + Path("missing"), "cannot read"}}) {
        EXPECT_NE(Run(args, &message), 0) << args;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }

    ASSERT_EQ(Run("pack " + archive + " a=" + pic), 0);
    EXPECT_NE(Run("extract " + archive + " A " + Path("x"), &message), 0);
    EXPECT_NE(message.find("no entry named 'A'"), std::string::npos);
    EXPECT_NE(Run("list " + pic, &message), 0);
    EXPECT_EQ(message, "kvfs: " + pic + " is damaged: bad header\n");
    // Regression: an index whose count reads as negative listed as an empty archive.
    const std::string negative = Write("negative.kvfs", HandMade().U32(8).U32(0x80000000u).Scrambled()).Std();
    EXPECT_EQ(Run("list " + negative, &message), 1);
    EXPECT_EQ(message, "kvfs: " + negative + " is damaged: bad index\n");
    EXPECT_EQ(Run("--help", &message), 0);
    EXPECT_NE(message.find("kvfs pack"), std::string::npos);
}

}  // namespace
}  // namespace kv
