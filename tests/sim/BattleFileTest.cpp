// Battle files: what is written reads back exactly, every damaged file is refused with its
// reason, and a battle set up from one fights with the sources it holds.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Fifo.h"
#include "TempFolder.h"
#include "sim/BattleFile.h"
#include "sim/HeadlessBattle.h"

namespace kv {
namespace {

const std::string kRobots = KV_TEST_ROBOTS;

KvBattleRecord Awkward() {
    KvBattleRecord r;
    r.seed = 4294967295u;
    r.dt = 0.1 / 3;  // no short decimal
    r.time = 1e7;
    r.program = "0.1.0 (test)";
    r.robots = {
        {0, 3, KvFile("robots/empty.r"), ""},
        {1, 1, KvFile("we\xff\xfe ird name\n.r"), std::string("main()\0{}\0", 10)},
        {2, 2, KvFile("C:\\dos\\crlf.r"), "main()\r\n{\r\n}\r\n\r\n"},
        {3, 0, KvFile("end"), "end\nrobot 0 0 1 x 0\nreport 3\nend\n"},
    };
    r.report = "{\"seed\": 1}\nend\n";
    return r;
}

void ExpectSame(const KvBattleRecord& a, const KvBattleRecord& b) {
    EXPECT_EQ(a.seed, b.seed);
    EXPECT_EQ(a.dt, b.dt);
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.program, b.program);
    EXPECT_EQ(a.report, b.report);
    ASSERT_EQ(a.robots.size(), b.robots.size());
    for (size_t k = 0; k < a.robots.size(); ++k) {
        EXPECT_EQ(a.robots[k].slot, b.robots[k].slot);
        EXPECT_EQ(a.robots[k].colour, b.robots[k].colour);
        EXPECT_EQ(a.robots[k].file.Std(), b.robots[k].file.Std());
        EXPECT_EQ(a.robots[k].source, b.robots[k].source);
    }
}

TEST(BattleFile, ReadsBackExactlyWhatWasWrittenWhateverTheSourcesHold) {
    KvBattleRecord few;
    few.robots = {{2, 1, KvFile("a.r"), "main(){}"}};  // no report, the program's own version
    for (const KvBattleRecord& record : {Awkward(), few}) {
        const std::string text = WriteBattleText(record);
        KvBattleRecord back;
        KvString error;
        ASSERT_TRUE(ParseBattleText(text, back, error)) << error.CStr();
        if (record.program.empty()) EXPECT_EQ(back.program, ProgramVersion());
        else ExpectSame(back, record);
        EXPECT_EQ(WriteBattleText(back), record.program.empty() ? text : WriteBattleText(record));
    }
    EXPECT_EQ(WriteBattleText(few).rfind("kolvex-battle-file 1\nprogram " + ProgramVersion() +
                                             "\nseed 1\ndt 0.001\ntime 600\nrobot 2 1 3 a.r 8\nmain(){}\nend\n",
                                         0),
              0u);
}

TEST(BattleFile, RefusesEveryDamagedFileWithItsReason) {
    const std::string head = "kolvex-battle-file 1\nprogram 0.1.0\nseed 3\ndt 0.001\ntime 60\n";
    const std::string robot = "robot 0 0 3 a.r 8\nmain(){}\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "not a battle file"},
        {"#!/bin/sh\n", "not a battle file"},
        {"kolvex-battle-file x\n", "not a battle file"},
        {"kolvex-battle-file 1\r\nprogram 0.1.0\r\n", "not a battle file: its lines end in CR LF (was it converted as text?)"},
        {"kolvex-battle-file 7\n", "battle file version 7 is not known (this program reads version 1)"},
        {"kolvex-battle-file 1\nseed 3\n", "line 2: expected \"program VERSION\""},
        {"kolvex-battle-file 1\nprogram \n", "line 2: the program's version is empty"},
        {"kolvex-battle-file 1\nprogram 1\nseed -3\n", "line 3: seed needs a number 0..4294967295"},
        {"kolvex-battle-file 1\nprogram 1\nseed 4294967296\n", "line 3: seed needs a number 0..4294967295"},
        {"kolvex-battle-file 1\nprogram 1\nseed 3\ndt 0\n", "line 4: dt needs seconds above 0 and at most 0.3"},
        {"kolvex-battle-file 1\nprogram 1\nseed 3\ndt 0.5\n", "line 4: dt needs seconds above 0 and at most 0.3"},
        {"kolvex-battle-file 1\nprogram 1\nseed 3\ndt nan\n", "line 4: dt needs seconds above 0 and at most 0.3"},
        {"kolvex-battle-file 1\nprogram 1\nseed 3\ndt 0.001x\n", "line 4: dt needs seconds above 0 and at most 0.3"},
        {"kolvex-battle-file 1\nprogram 1\nseed 3\ndt 0.001\ntime 1e8\n", "line 5: time needs simulated seconds from 0 to 10000000"},
        {"kolvex-battle-file 1\nprogram 1\nseed 3\ndt 0.001\ntime -1\n", "line 5: time needs simulated seconds from 0 to 10000000"},
        {head, "line 6: the file ends before its end line"},
        {head + "end\n", "line 6: no robots"},
        {head + "report 0\n\nend\n", "line 6: no robots"},
        {head + "robot 4 0 3 a.r 8\nmain(){}\n", "line 6: slot 4 is not 0 to 3"},
        {head + "robot 0 9 3 a.r 8\nmain(){}\n", "line 6: colour 9 is not 0 to 3"},
        {head + "robot x 0 3 a.r 8\n", "line 6: expected \"robot SLOT COLOUR NAME-LENGTH NAME SOURCE-LENGTH\""},
        {head + "robot 0 0 4 a.r 8\nmain(){}\n", "line 6: expected \"robot SLOT COLOUR NAME-LENGTH NAME SOURCE-LENGTH\""},
        {head + robot + robot, "line 8: slot 0 is given twice"},
        {head + "robot 2 0 3 a.r 0\n\n" + robot, "line 8: slot 0 comes after slot 2 (robots are listed in slot order)"},
        {head + robot + "robot 1 0 3 a.r 0\n\nrobot 2 0 3 a.r 0\n\nrobot 3 0 3 a.r 0\n\nrobot 3 0 3 a.r 0\n\n",
         "line 14: more than 4 robots"},
        {head + "robot 0 0 0  8\nmain(){}\n", "line 6: a robot's file name is empty"},
        {head + std::string("robot 0 0 3 a\0r 8\nmain(){}\n", 26), "line 6: a robot's file name holds a zero byte"},
        {head + "robot 0 0 99999 a.r", "line 6: a file name of 99999 bytes is longer than 4096"},
        {head + "robot 0 0 3 a.r 10\nmain(){}\n", "line 6: the source of 10 bytes runs past the end of the file"},
        {head + "robot 0 0 3 a.r 7\nmain(){}\n", "line 7: expected a line end after the source of 7 bytes"},
        {head + "robot 0 0 3 a.r 99999999999999999999999\n",
         "line 6: a source of 18446744073709551615 bytes is more than 1048576 (the largest robot file)"},
        {head + robot + "report 5\n{}\n", "line 8: the report of 5 bytes runs past the end of the file"},
        {head + robot + "report 2000000\n", "line 8: a report of 2000000 bytes is more than 1048576"},
        {head + robot + "report 2\n{}\n", "line 10: the file ends before its end line"},
        {head + robot + "report 2\n{}\nrobot 1 1 3 b.r 0\n\nend\n", "line 10: expected end after the report"},
        {head + robot + "seed 4\n", "line 8: expected robot, report or end"},
        {head + robot + "end", ""},
        {head + robot + "end\n\n", "line 8: bytes after the end line"},
        {head + robot + "end\nrobot 1 1 3 b.r 0\n\n", "line 8: bytes after the end line"},
    };
    for (const auto& [text, message] : cases) {
        KvBattleRecord record;
        record.seed = 77;
        KvString error;
        EXPECT_EQ(ParseBattleText(text, record, error), message.empty()) << text;
        EXPECT_EQ(error.Std(), message) << text;
        if (!message.empty()) {
            EXPECT_EQ(record.seed, 77u) << "the record is left as it was";
        }
    }
}

TEST(BattleFile, IsNamedByItsEndingInAnyCase) {
    for (const char* name : {"a.kvb", "saved/Duel.KVB", ".kvb"}) EXPECT_TRUE(IsBattleFileName(name)) << name;
    for (const char* name : {"a.r", "a.kvb.r", "kvb", "a.kv", ""}) EXPECT_FALSE(IsBattleFileName(name)) << name;
}

class BattleFileOnDisk : public test::TempFolder {};

TEST_F(BattleFileOnDisk, SavesWholeOrNotAtAllAndLoadsOnlyRegularFilesOfReasonableSize) {
    KvString error;
    const KvFile path = Path("a.kvb").c_str();
    ASSERT_TRUE(SaveBattleFile(path, Awkward(), error)) << error.CStr();
    KvBattleRecord back;
    ASSERT_TRUE(LoadBattleFile(path, back, error)) << error.CStr();
    ExpectSame(back, Awkward());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("")), {}), 1) << "no temporary file left";

    // A record that could not be read back is not written, and the old file stays.
    KvBattleRecord bad = Awkward();
    bad.robots[1].slot = 0;
    EXPECT_FALSE(SaveBattleFile(path, bad, error));
    EXPECT_EQ(error.Std(), "Can't save battle file '" + path.Std() + "': slot 0 is given twice");
    EXPECT_TRUE(LoadBattleFile(path, back, error));
    const KvFile nowhere = Path("none/a.kvb").c_str();
    EXPECT_FALSE(SaveBattleFile(nowhere, Awkward(), error));
    EXPECT_EQ(error.Std(), "Can't write battle file '" + nowhere.Std() + "': No such file or directory");

    test::Fifo fifo(Path("fifo.kvb"));
    ASSERT_TRUE(fifo.Made());
    std::ofstream(Path("big.kvb")) << std::string(kMaxBattleFileBytes + 1, 'x');
    const std::string whole = WriteBattleText(Awkward());
    const std::pair<std::string, std::string> cases[] = {
        {Path("missing.kvb"), "Can't open battle file '" + Path("missing.kvb") + "': no such file"},
        {Path(""), "Can't open battle file '" + Path("") + "': not a regular file"},
        {fifo.Path(), "Can't open battle file '" + fifo.Path() + "': not a regular file"},
        {"/dev/zero", "Can't open battle file '/dev/zero': not a regular file"},
        {Path("big.kvb"), "Battle file '" + Path("big.kvb") + "' is too large (more than 8388608 bytes)"},
        {Write("cut.kvb", whole.substr(0, whole.find("main()") + 3)),
         "Battle file '" + Path("cut.kvb") + "': line 8: the source of 10 bytes runs past the end of the file"},
    };
    for (const auto& [file, message] : cases) {
        back.seed = 5;
        EXPECT_FALSE(LoadBattleFile(file.c_str(), back, error)) << file;
        EXPECT_EQ(error.Std(), message);
        EXPECT_EQ(back.seed, 5u);
    }
    EXPECT_FALSE(fifo.WasOpened());
}

// Everything an outcome holds, to compare two runs exactly.
std::string Fingerprint(const BattleOutcome& o) {
    std::string s = o.error.Std() + " " + std::to_string(o.ticks) + " " + std::to_string(o.winner);
    char buffer[200];
    for (const RobotOutcome& r : o.robots) {
        const RobotValues& v = r.values;
        std::snprintf(buffer, sizeof buffer, " [%d %d %s %a %d %a %a %a]", r.slot, r.colour, r.file.CStr(), v.damage,
                      v.shots, v.position.x, v.position.y, v.heading);
        s += buffer;
    }
    return s;
}

TEST(BattleFile, SetsUpTheBattleItHoldsFromItsSourcesSlotsAndColours) {
    HeadlessBattleOptions fromFiles;
    fromFiles.files = {(kRobots + "/rover.r").c_str(), (kRobots + "/shooter.r").c_str()};
    fromFiles.seed = 8;
    fromFiles.time = 20;
    const BattleOutcome expected = RunHeadlessBattle(fromFiles);
    ASSERT_TRUE(expected.ok) << expected.error.CStr();

    KvBattleRecord record;
    for (int k = 0; k < 2; ++k) {
        std::ifstream in(fromFiles.files[k].CStr(), std::ios::binary);
        // Only the file name is on disk: the battle must not read it.
        record.robots.push_back({k, k, KvFile(("/nonexistent/" + fromFiles.files[k].FileName().Std()).c_str()),
                                 std::string(std::istreambuf_iterator<char>(in), {})});
    }
    HeadlessBattleOptions fromRecord = fromFiles;
    fromRecord.files.clear();
    fromRecord.choices = BattleChoices(record);
    EXPECT_EQ(Fingerprint(RunHeadlessBattle(fromRecord)), Fingerprint(expected));

    // Other slots and colours are kept; a source that no longer compiles names the robot's path.
    record.robots[0] = {1, 3, KvFile("old/rover.r"), record.robots[0].source};
    record.robots[1] = {3, 0, KvFile("old/bad.r"), "main()\n{\n  cannon(1;\n}\n"};
    fromRecord.choices = BattleChoices(record);
    const BattleOutcome bad = RunHeadlessBattle(fromRecord);
    EXPECT_EQ(bad.error.Std(), "Error, while compiling file old/bad.r:\n, or ) expected on line 3");
    record.robots.pop_back();
    fromRecord.choices = BattleChoices(record);
    const BattleOutcome moved = RunHeadlessBattle(fromRecord);
    ASSERT_EQ(moved.robots.size(), 1u) << moved.error.CStr();
    EXPECT_EQ(moved.robots[0].slot, 1);
    EXPECT_EQ(moved.robots[0].colour, 3);
    EXPECT_EQ(moved.robots[0].file.Std(), "rover.r");
}

}  // namespace
}  // namespace kv
