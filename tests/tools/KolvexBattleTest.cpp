// kolvex-battle as a robot author uses it: run from a shell, read its output and status.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Fifo.h"
#include "TempFolder.h"
#include "ToolRun.h"

namespace {

using namespace kv::test;

const std::string kRobots = KV_TEST_ROBOTS;

Outcome Battle(const std::string& arguments) { return RunTool(KV_KOLVEX_BATTLE, "--archive '" KV_ARCHIVE "' " + arguments); }

std::string Robots(std::initializer_list<const char*> names) { return kv::test::Robots(kRobots, names); }

// The JSON trace's bytes are held to recorded runs by BattleGoldenTest.
TEST(KolvexBattle, PrintsTheSameBytesForTheSameSeedFilesAndDt) {
    const std::string battle = " --time 90" + Robots({"rover.r", "shooter.r", "rammer.r", "rover.r"});
    const Outcome a = Battle("--seed 31" + battle), b = Battle("--seed 31" + battle);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.out.rfind("seed 31\ndt 0.001\n", 0), 0u) << a.out;
    EXPECT_NE(Battle("--seed 32" + battle).out, a.out);
}

TEST(KolvexBattle, ReportsEachRobotAsJson) {
    const Outcome r = Battle("--json --seed 4 --time 60" + Robots({"selfharm.r", "sitter.r"}));
    ASSERT_EQ(r.status, 0) << r.err;
    // Ten reloads, each shell exploding at once; the battle stops when one robot is left.
    for (const char* key : {"\"seed\": 4", "\"dt\": 0.001", "\"time\": 15.204", "\"winner\": 1", "\"slot\": 0",
                            "\"file\": \"selfharm.r\"", "\"colour\": \"red\"", "\"colour\": \"green\"",
                            "\"alive\": false", "\"damage\": 100", "\"death_time\": 15.204", "\"death_time\": null",
                            "\"shots\": 10", "\"x\": ", "\"heading\": 0", "\"speed\": 0"})
        EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

// A fault restarts a program silently in the battle; the reports say where and when.
TEST(KolvexBattle, ReportsRestartsFaultsAndInstructionsOfEachRobot) {
    const std::string battle = " --seed 4 --time 20" + Robots({"hostile.r", "shooter.r"});
    const Outcome text = Battle(battle), json = Battle("--json" + battle);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("hostile.r  damage 2  alive  shots 0\n  restarted 1 time, first by remainder by zero on line 20 at 0.244 s\n"),
              std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("restarted", text.out.find("shooter.r")), std::string::npos) << "shooter.r never faults";
    for (const char* key : {"\"restarts\": 1, \"instructions\": 6649, \"faults\": [{\"kind\": \"remainder by zero\", \"line\": 20, \"time\": 0.244}]}",
                            "\"restarts\": 0, \"instructions\": 6666, \"faults\": []}"})
        EXPECT_NE(json.out.find(key), std::string::npos) << key << " in " << json.out;
}

// Regression: the text report printed the noise of summed ticks ("dead at 33.410000000000004 s").
TEST(KolvexBattle, PrintsTimesInTheTextReportToTheMillisecond) {
    for (const char* dt : {"0.001", "0.01", "0.03"}) {
        const Outcome r = Battle(std::string("--seed 4 --time 60 --dt ") + dt + Robots({"selfharm.r", "sitter.r"}));
        ASSERT_EQ(r.status, 0) << r.err;
        const size_t dead = r.out.find("dead at ");
        ASSERT_NE(dead, std::string::npos) << r.out;
        const std::string at = r.out.substr(dead + 8, r.out.find(' ', dead + 8) - dead - 8);
        EXPECT_EQ(at.size() - at.find('.'), 4u) << "three decimals: " << at;
        const size_t time = r.out.find("\ntime ");
        EXPECT_EQ(r.out.substr(time + 6, r.out.find('\n', time + 1) - time - 6), at) << "decided at the death";
    }
}

// The times of the trace lines, in order.
std::vector<double> TraceTimes(const std::string& out) {
    std::vector<double> times;
    for (size_t at = out.find("{\"t\": "); at != std::string::npos; at = out.find("{\"t\": ", at + 1))
        times.push_back(std::strtod(out.c_str() + at + 6, nullptr));
    return times;
}

TEST(KolvexBattle, TracesEveryLivingRobotAtTheGivenInterval) {
    const Outcome r = Battle("--seed 2 --time 3 --trace 1" + Robots({"rover.r", "sitter.r"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(TraceTimes(r.out).size(), 6u);  // three times two robots
    EXPECT_EQ(r.out.find("{\"t\": 1, \"slot\": 0, \"x\": "), 0u) << r.out;
    EXPECT_NE(r.out.find("{\"t\": 3, \"slot\": 1, \"x\": "), std::string::npos) << r.out;
}

// Regression: the trace came every round(S / dt) ticks, so dt 0.03 with S 0.1 traced at 0.09,
// 0.18, ... instead of at the first tick reaching each tenth of a second.
TEST(KolvexBattle, TracesAtTheFirstTickThatReachesEachMultipleOfTheInterval) {
    const Outcome r = Battle("--seed 2 --dt 0.03 --time 1 --trace 0.1" + Robots({"sitter.r"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> times = TraceTimes(r.out);
    ASSERT_EQ(times.size(), 10u) << r.out;
    for (size_t k = 1; k <= times.size(); ++k) {
        EXPECT_GE(times[k - 1], 0.1 * k - 1e-9) << r.out;
        EXPECT_LT(times[k - 1] - 0.03, 0.1 * k - 1e-9) << r.out;
    }
    EXPECT_EQ(r.out.find("{\"t\": 0.12, \"slot\": 0,"), 0u) << r.out;
    EXPECT_NE(r.out.find("{\"t\": 0.3, \"slot\": 0,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"t\": 1.02, \"slot\": 0,"), std::string::npos) << r.out;

    // An interval shorter than a tick traces every tick once.
    const Outcome fine = Battle("--seed 2 --dt 0.03 --time 0.3 --trace 0.01" + Robots({"sitter.r"}));
    EXPECT_EQ(TraceTimes(fine.out).size(), 10u) << fine.out;
}

// Regression: --realtime reported the --dt it was given, which the run never used.
TEST(KolvexBattle, RealTimeBattlesReportTheirDtAsMeasured) {
    const std::string args = "--realtime --dt 0.01 --seed 3 --time 0.2" + Robots({"sitter.r", "rover.r"});
    const Outcome json = Battle("--json " + args);
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"dt\": \"measured\", \"mean_dt\": "), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("\"dt\": 0.01"), std::string::npos) << json.out;

    const Outcome text = Battle(args);
    ASSERT_EQ(text.status, 0) << text.err;
    const std::string mean = "\ndt measured, mean ";
    const size_t at = text.out.find(mean);
    ASSERT_NE(at, std::string::npos) << text.out;
    const double dt = std::strtod(text.out.c_str() + at + mean.size(), nullptr);
    EXPECT_GT(dt, 0);
    EXPECT_LE(dt, 0.3);

    const Outcome table = Battle("--matches 2 " + args);
    EXPECT_NE(table.out.find("  dt measured  "), std::string::npos) << table.out;
}

TEST(KolvexBattle, ShowsSetUpProblemsOnStandardErrorWithStatus1) {
    const std::string bad = ::testing::TempDir() + "kolvex_battle_bad.r";
    std::ofstream(bad) << "main()\n{\n  cannon(1;\n}\n";
    const std::pair<std::string, std::string> cases[] = {
        {Robots({"sitter.r", "missing.r"}), "Can't open file '" + kRobots + "/missing.r'\n"},
        {"'" + bad + "'", "Error, while compiling file " + bad + ":\n, or ) expected on line 3\n"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome r = Battle(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, message);
        EXPECT_EQ(r.out, "");
    }
    std::remove(bad.c_str());
}

// Regression: a FIFO or /dev/zero as a robot or as the archive hung the tool or grew its memory
// without end, a directory read as an empty program, and an archive that could not be read was
// "missing" under the default name whatever the path given.
TEST(KolvexBattle, RefusesRobotsAndArchivesThatAreNotRegularFilesOrAreDamaged) {
    Fifo fifo(Temp("fifo"));
    ASSERT_TRUE(fifo.Made());
    const std::string folder = Temp("folder.r"), large = Temp("large.r"), cut = Temp("cut.kvfs");
    std::filesystem::create_directory(folder);
    std::ofstream(large) << "main(){}" << std::string(1048576, ' ');
    const std::string archive = Slurp(KV_ARCHIVE);
    std::ofstream(cut, std::ios::binary) << archive.substr(0, archive.size() - 10);
    const struct {
        std::string archive, robot;
        int status;
        std::string message;
    } cases[] = {
        {KV_ARCHIVE, fifo.Path(), 1, "Can't open file '" + fifo.Path() + "'"},
        {KV_ARCHIVE, "/dev/zero", 1, "Can't open file '/dev/zero'"},
        {KV_ARCHIVE, folder, 1, "Can't open file '" + folder + "'"},
        {KV_ARCHIVE, large, 1, "Robot file '" + large + "' is too large (1048584 bytes; at most 1048576)"},
        {fifo.Path(), kRobots + "/sitter.r", 3, "kolvex-battle: " + fifo.Path() + " is damaged: not a regular file"},
        {"/dev/zero", kRobots + "/sitter.r", 3, "kolvex-battle: /dev/zero is damaged: not a regular file"},
        {cut, kRobots + "/sitter.r", 3, "kolvex-battle: " + cut + " is damaged: bad index"},
        {Temp("none.kvfs"), kRobots + "/sitter.r", 3, "kolvex-battle: " + Temp("none.kvfs") + " not found"},
    };
    for (const auto& c : cases) {
        const Outcome r = RunToolWithin(60, KV_KOLVEX_BATTLE, "--archive '" + c.archive + "' '" + c.robot + "'");
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_EQ(r.err, c.message + "\n");
    }
    EXPECT_FALSE(fifo.WasOpened());
    std::filesystem::remove(folder);
    std::remove(large.c_str());
    std::remove(cut.c_str());
}

// Bad options give status 2, as in every program of the game.
TEST(KolvexBattle, RefusesBadOptionsWithStatus2) {
    const std::string sitter = Robots({"sitter.r"});
    const std::string five = Robots({"sitter.r", "sitter.r", "sitter.r", "sitter.r", "sitter.r"});
    for (const std::string& args :
         {std::string(), "--dt 0.5" + sitter, "--dt -1" + sitter, "--seed x" + sitter, "--frobnicate" + sitter, five,
          // Regression: a tiny dt overflowed the tick count and ran a battle of no ticks.
          "--dt 1e-300" + sitter, "--dt 1e-9 --time 10000" + sitter,
          // A battle file brings its own seed and dt and takes the place of every robot file.
          std::string("--seed 3 x.kvb"), std::string("--dt 0.01 x.kvb"), "x.kvb" + sitter, sitter + " x.kvb",
          // --save writes one battle of fixed ticks, and with --matches the one of a seed run.
          "--save x.kvb --realtime" + sitter, "--save-seed 3" + sitter, "--save x.kvb --save-seed 3" + sitter,
          "--matches 3 --save x.kvb" + sitter, "--matches 3 --seed 10 --save x.kvb --save-seed 13" + sitter,
          "--matches 3 --seed 10 --save x.kvb --save-seed 9" + sitter})
        EXPECT_EQ(Battle(args).status, 2) << args;
}

TEST(KolvexBattle, CountsWinsOverManySeedsAlikeOnOneThreadOrSeveral) {
    const std::string args = "--seed 100 --matches 12 --time 120" + Robots({"rover.r", "shooter.r", "rover.r"});
    const Outcome one = Battle(args), three = Battle("--jobs 3 " + args);
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, three.out);
    EXPECT_EQ(one.out.rfind("seeds 100..111  battles 12", 0), 0u) << one.out;
    const Outcome json = Battle("--json " + args);
    EXPECT_NE(json.out.find("\"battles\": 12"), std::string::npos) << json.out;
}

// Battle files, written by --save and fought again when given in place of the robot files.
class KolvexBattleFile : public TempFolder {
protected:
    std::string Quoted(const std::string& name) const { return " '" + Path(name) + "'"; }
    // A copy of a test robot in the folder, as a player's own file.
    std::string Copy(const char* robot, const std::string& name) const {
        return Write(name, Slurp(kRobots + "/" + robot));
    }
};

TEST_F(KolvexBattleFile, ReplaysTheSavedBattleToTheSameBytesAfterItsRobotFilesChange) {
    Copy("rover.r", "a.r");
    Copy("shooter.r", "b.r");
    const std::string robots = Quoted("a.r") + Quoted("b.r");
    const Outcome text = Battle("--seed 6 --time 40 --save" + Quoted("text.kvb") + robots);
    const Outcome json = Battle("--json --seed 6 --time 40 --save" + Quoted("json.kvb") + robots);
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(text.out, Battle("--seed 6 --time 40" + robots).out) << "saving changes nothing printed";
    Write("a.r", std::string("main() { drive(90, 100); while (1) ; }\n"));
    ASSERT_NE(Battle("--seed 6 --time 40" + robots).out, text.out);

    for (const char* saved : {"text.kvb", "json.kvb"}) {
        for (const auto& [options, expected] : {std::pair{"", &text}, std::pair{"--json", &json}}) {
            const Outcome replay = Battle(std::string(options) + Quoted(saved));
            EXPECT_EQ(replay.status, 0) << replay.err;
            EXPECT_EQ(replay.out, expected->out) << options << " " << saved;
            EXPECT_EQ(replay.err, "");
        }
    }
    // The command line's options still apply.
    EXPECT_NE(Battle("--time 5" + Quoted("text.kvb")).out.find("\ntime 5.000\n"), std::string::npos);

    // A replay that ends otherwise than the run that saved it says so; its own report is printed.
    std::string edited = Read<std::string>("text.kvb");
    const size_t program = edited.find("\nprogram ") + 1;
    edited.replace(program, edited.find('\n', program) - program, "program 0.0.9");
    edited.replace(edited.find("{\"seed\": 6"), 10, "{\"seed\": 7");
    Write("edited.kvb", edited);
    const Outcome differs = Battle(Quoted("edited.kvb"));
    EXPECT_EQ(differs.status, 0);
    EXPECT_EQ(differs.out, text.out);
    EXPECT_EQ(differs.err.rfind("kolvex-battle: warning: this battle ended otherwise than when " + Path("edited.kvb") +
                                    " was saved (saved by version 0.0.9, replayed by version ",
                                0),
              0u)
        << differs.err;
}

TEST_F(KolvexBattleFile, SavesTheMatchOfTheSeedNamedWhichTheWinTableShowsForEachRobot) {
    const std::string robots = Robots({"rover.r", "shooter.r", "rover.r"});
    const std::string args = "--seed 100 --matches 12 --time 120" + robots;
    const Outcome table = Battle(args), json = Battle("--json " + args);
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("  avg shots   first win\n"), std::string::npos) << table.out;

    // Each robot's first winning seed is the first of the seeds run that it wins alone.
    for (int slot = 0; slot < 3; ++slot) {
        const size_t row = table.out.find("\n" + std::to_string(slot) + "     ");
        ASSERT_NE(row, std::string::npos) << table.out;
        const std::string line = table.out.substr(row + 1, table.out.find('\n', row + 1) - row - 1);
        const std::string first = line.substr(line.find_last_of(' ') + 1);
        int wonAt = -1;
        for (int seed = 100; seed < 112 && wonAt < 0; ++seed) {
            if (Battle("--json --seed " + std::to_string(seed) + " --time 120" + robots)
                    .out.find("\"winner\": " + std::to_string(slot) + ",") != std::string::npos)
                wonAt = seed;
        }
        EXPECT_EQ(first, wonAt < 0 ? "-" : std::to_string(wonAt)) << line;
        EXPECT_NE(json.out.find("\"first_win_seed\": " + (wonAt < 0 ? "null" : std::to_string(wonAt))), std::string::npos);
    }
    const std::string sitters = "--seed 100 --matches 3 --time 5" + Robots({"sitter.r", "sitter.r"});
    EXPECT_NE(Battle(sitters).out.find("0.00           -\n1 "), std::string::npos) << Battle(sitters).out;
    const Outcome none = Battle("--json " + sitters);
    EXPECT_NE(none.out.find("\"wins\": 0, \"survived\": 3, \"damage\": 0, \"shots\": 0, \"first_win_seed\": null}"),
              std::string::npos)
        << none.out;

    const Outcome saving = Battle("--save" + Quoted("103.kvb") + " --save-seed 103 " + args);
    ASSERT_EQ(saving.status, 0) << saving.err;
    EXPECT_EQ(saving.out, table.out);
    const std::string single = "--seed 103 --time 120" + robots;
    EXPECT_EQ(Battle(Quoted("103.kvb")).out, Battle(single).out);
    EXPECT_EQ(Battle("--json" + Quoted("103.kvb")).out, Battle("--json " + single).out);
}

TEST_F(KolvexBattleFile, RefusesBadBattleFilesAndUnwritableSavesWithStatus1) {
    const std::string head = "kolvex-battle-file 1\nprogram 0.1.0\nseed 3\ndt 0.001\ntime 60\n";
    const std::string bad = "main()\n{\n  cannon(1;\n}\n";
    const std::pair<std::string, std::string> cases[] = {
        {Path("missing.kvb"), "kolvex-battle: Can't open battle file '" + Path("missing.kvb") + "': no such file"},
        {Write("text.kvb", std::string("main() {}\n")),
         "kolvex-battle: Battle file '" + Path("text.kvb") + "': not a battle file"},
        {Write("cut.kvb", head + "robot 0 0 3 a.r 8\nmain"),
         "kolvex-battle: Battle file '" + Path("cut.kvb") + "': line 6: the source of 8 bytes runs past the end of the file"},
        {Write("fine.kvb", head + "robot 1 2 9 old/bad.r " + std::to_string(bad.size()) + "\n" + bad + "\nend\n"),
         "Error, while compiling file old/bad.r:\n, or ) expected on line 3"},
        {Write("long.kvb", std::string("kolvex-battle-file 1\nprogram 0.1.0\nseed 3\ndt 1e-300\ntime 600\n"
                                       "robot 0 0 3 a.r 0\n\nend\n")),
         "kolvex-battle: Battle file '" + Path("long.kvb") + "': time 600 at dt 1e-300 is more than 1000000000000 ticks"},
    };
    for (const auto& [file, message] : cases) {
        const Outcome r = Battle("'" + file + "'");
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.err, message + "\n");
        EXPECT_EQ(r.out, "");
    }

    const std::string nowhere = Path("none/saved.kvb");
    const Outcome unwritable = Battle("--seed 2 --time 3 --save '" + nowhere + "'" + Robots({"sitter.r"}));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.out, Battle("--seed 2 --time 3" + Robots({"sitter.r"})).out);
    EXPECT_EQ(unwritable.err, "kolvex-battle: Can't write battle file '" + nowhere + "': No such file or directory\n");
}

}  // namespace
