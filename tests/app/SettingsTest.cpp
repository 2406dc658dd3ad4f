#include "app/Settings.h"

#include <sys/resource.h>

#include <array>
#include <csignal>
#include <tuple>

#include "app/IniFile.h"
#include "InTempDir.h"

namespace kv {
namespace {

class SettingsFile : public InTempDir {
protected:
    static Settings ReadNow() {
        Settings settings;
        settings.shadowMode = 99;  // so that Read must set every field
        settings.oneViewActive = 99;
        settings.vsync = 99;
        settings.showSplash = !settings.showSplash;
        settings.soundOn = !settings.soundOn;
        settings.Read();
        return settings;
    }
};

// shadowMode, oneViewActive, vsync, showSplash, soundOn: to compare all five at once.
std::tuple<int, int, int, bool, bool> Fields(const Settings& s) {
    return {s.shadowMode, s.oneViewActive, s.vsync, s.showSplash, s.soundOn};
}
const auto kDefaults = std::tuple(0, 1, 0, true, true);

TEST_F(SettingsFile, MissingFileGivesTheDefaults) { EXPECT_EQ(Fields(ReadNow()), kDefaults); }

TEST_F(SettingsFile, ReadsEveryKeyIgnoringTheCaseOfSectionsKeysAndValues) {
    WriteFile(Settings::kFileName,
              "[RENDER]\nshadow=STENCIL\nvSync=oN\n[views]\nONEVIEWACTIVE=off\n[Setup]\nShowSplash=OFF\n"
              "[sound]\nsound=Off\n");
    EXPECT_EQ(Fields(ReadNow()), std::tuple(1, 0, 1, false, false));

    WriteFile(Settings::kFileName, "[Render]\nShadow=mAp\n");
    EXPECT_EQ(ReadNow().shadowMode, 2);
}

TEST_F(SettingsFile, AnUnknownValueOfAPresentKeyReadsAsOff) {
    WriteFile(Settings::kFileName,
              "[Render]\nShadow=maps\nVSync=1\n[Views]\nOneViewActive=yes\n[Setup]\nShowSplash=\n"
              "[Sound]\nSound=on " + std::string(300, 'x') + "\n");
    EXPECT_EQ(Fields(ReadNow()), std::tuple(0, 0, 0, false, false));
}

TEST_F(SettingsFile, WritesAllFiveKeysInOrderWithTheirCapitalisedValues) {
    Settings s;
    s.shadowMode = 1;
    s.vsync = 1;
    s.oneViewActive = 0;
    s.showSplash = false;
    ASSERT_TRUE(s.Write());
    EXPECT_EQ(ReadFile(Settings::kFileName),
              "[Render]\nShadow=Stencil\nVSync=On\n\n[Views]\nOneViewActive=Off\n\n[Setup]\nShowSplash=Off\n\n"
              "[Sound]\nSound=On\n");
}

TEST_F(SettingsFile, WritesOutOfRangeValuesByTheirRules) {
    Settings s;
    s.shadowMode = 7;     // "Off" for anything but 1 and 2
    s.vsync = 2;          // "On" only for exactly 1
    s.oneViewActive = 2;  // "On" for any non-zero
    ASSERT_TRUE(s.Write());
    KvIniFile file;
    file.Load(Settings::kFileName);
    EXPECT_EQ(file.Get("Render", "Shadow"), "Off");
    EXPECT_EQ(file.Get("Render", "VSync"), "Off");
    EXPECT_EQ(file.Get("Views", "OneViewActive"), "On");
}

TEST_F(SettingsFile, EveryCombinationSurvivesARoundTrip) {
    for (int combination = 0; combination < 48; ++combination) {
        Settings s;
        s.shadowMode = combination % 3;
        s.oneViewActive = combination / 3 % 2;
        s.vsync = combination / 6 % 2;
        s.showSplash = combination / 12 % 2;
        s.soundOn = combination / 24 % 2;
        ASSERT_TRUE(s.Write());
        EXPECT_EQ(Fields(ReadNow()), Fields(s));
    }
}

TEST_F(SettingsFile, RewritingAForeignFileKeepsItsOtherSectionsKeysAndComments) {
    WriteFile(Settings::kFileName,
              "; tuned by hand\r\n"
              "[Player]\r\n"
              "Name = Ada\r\n"
              "\r\n"
              "[render]\r\n"
              "SHADOW = STENCIL\r\n"
              "Gamma = 1.2\r\n"
              "[SOUND]\r\n"
              "sound = off ; too loud\r\n");
    Settings s = ReadNow();
    EXPECT_EQ(s.shadowMode, 1);
    EXPECT_FALSE(s.soundOn);
    ASSERT_TRUE(s.Write());
    EXPECT_EQ(ReadFile(Settings::kFileName),
              "; tuned by hand\r\n"
              "[Player]\r\n"
              "Name = Ada\r\n"
              "\r\n"
              "[render]\r\n"
              "SHADOW = Stencil\r\n"
              "Gamma = 1.2\r\n"
              "VSync=Off\r\n"
              "[SOUND]\r\n"
              "sound = Off ; too loud\r\n"
              "\r\n"
              "[Views]\r\n"
              "OneViewActive=On\r\n"
              "\r\n"
              "[Setup]\r\n"
              "ShowSplash=On\r\n");
}

// The robots' paths read back as written, whatever blanks, quotes, ';' or bytes they hold;
// a path with a line break cannot be a value and leaves its slot as the file had it.
TEST_F(SettingsFile, RobotChoicesSurviveARoundTripAndLeaveTheRestAlone) {
    WriteFile(Settings::kFileName, "[Sound]\nSound=Off\n[Robots]\nRobot4=kept.r\nUse4=On\n");
    Settings s = ReadNow();
    EXPECT_EQ(s.robots[3], (Settings::RobotSlot{true, "kept.r"}));
    s.robots[0] = {true, " lead and trail.r "};
    s.robots[1] = {false, "a ;b \"quoted\".r"};
    s.robots[2] = {true, "m\xFCller's \"x\" ;y.r"};  // both quotes where quotes are needed
    const std::array<Settings::RobotSlot, 4> chosen = s.robots;
    s.robots[3] = {false, "line\nbreak.r"};
    ASSERT_TRUE(s.WriteRobots());
    const Settings back = ReadNow();
    EXPECT_EQ(back.robots[0], chosen[0]);
    EXPECT_EQ(back.robots[1], chosen[1]);
    EXPECT_EQ(back.robots[2], (Settings::RobotSlot{false, ""})) << "not writable as a value: not written";
    EXPECT_EQ(back.robots[3], chosen[3]);
    EXPECT_FALSE(back.soundOn) << "the Setup choices are not the robots' to write";
    // A Setup command's write keeps the robots as they are.
    ASSERT_TRUE(s.Write());
    EXPECT_EQ(ReadNow().robots, back.robots);
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenGivesDefaultsAndAFailedWrite) {
    std::filesystem::create_directory(Settings::kFileName);
    EXPECT_EQ(Fields(ReadNow()), kDefaults);
    EXPECT_FALSE(Settings{}.Write());
}

TEST_F(SettingsFile, BinaryGarbageGivesTheDefaultsAndIsReplacedOnWrite) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    WriteFile(Settings::kFileName, garbage);
    EXPECT_EQ(Fields(ReadNow()), kDefaults);
    Settings s;
    s.vsync = 1;
    ASSERT_TRUE(s.Write());
    EXPECT_EQ(ReadNow().vsync, 1);
}

// Regression: a file over 1 MiB was read in part and never written, and nothing said so.
TEST_F(SettingsFile, AHugeFileIsReadForItsStartLeftAsItWasAndSaidSoOnce) {
    std::string huge = "[Render]\nShadow=Map\n" + std::string(KvIniFile::kMaxFileBytes, '=') + "\n";
    WriteFile(Settings::kFileName, huge);
    testing::internal::CaptureStderr();
    Settings s = ReadNow();
    EXPECT_EQ(s.shadowMode, 2);
    s.vsync = 1;
    EXPECT_FALSE(s.Write());
    EXPECT_FALSE(s.Write());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "kolvex: Config.ini is larger than 1 MiB: only its start is read, and the settings are not written "
              "back to it\n");
    EXPECT_EQ(ReadFile(Settings::kFileName), huge);
}

// Regression: a write that failed (a full disk) cut the file short and was not reported.
TEST_F(SettingsFile, AFailedWriteIsSaidOnceAndLeavesTheFileAsItWas) {
    const std::string mine = "; mine\n[Render]\nShadow=Stencil\n" + std::string(500, '#') + "\n";
    WriteFile(Settings::kFileName, mine);
    Settings s = ReadNow();
    s.shadowMode = 2;
    std::signal(SIGXFSZ, SIG_IGN);  // files may grow to 100 bytes only, as on a full disk
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit small = limit;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::internal::CaptureStderr();
    const bool first = s.Write(), second = s.Write();
    const std::string said = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(said, "kolvex: the settings cannot be written to Config.ini (File too large); it is left as it was\n");
    EXPECT_EQ(ReadFile(Settings::kFileName), mine);
    EXPECT_TRUE(s.Write()) << "with room again";
    EXPECT_EQ(ReadNow().shadowMode, 2);
}

// Regression: rewriting a value lost or moved what the player wrote round it.
TEST_F(SettingsFile, ARoundTripKeepsWhatThePlayerWroteOutsideTheValues) {
    const std::string mine =
        "\xEF\xBB\xBF[Render]\r\nShadow = \"map\" ; fast card\nVSync=on\t# tearing\r"
        "[Views]\nOneViewActive='Off'\n[Setup]\r\n  showsplash  =  OFF  \r\n[Sound]\nSound=\"On ;x\"\n"
        "[Player]\nName=\xC3\xA9\xFF\x01 ; \"x\n";
    WriteFile(Settings::kFileName, mine);
    Settings s = ReadNow();
    EXPECT_EQ(Fields(s), std::tuple(2, 0, 1, false, false)) << "\"On ;x\" is not On";
    ASSERT_TRUE(s.Write());
    const std::string written = ReadFile(Settings::kFileName);
    EXPECT_EQ(written,
              "\xEF\xBB\xBF[Render]\r\nShadow = \"Map\" ; fast card\nVSync=On\t# tearing\r"
              "[Views]\nOneViewActive='Off'\n[Setup]\r\n  showsplash  =  Off  \r\n[Sound]\nSound=\"Off\"\n"
              "[Player]\nName=\xC3\xA9\xFF\x01 ; \"x\n");
    EXPECT_EQ(Fields(ReadNow()), Fields(s));
    ASSERT_TRUE(s.Write());
    EXPECT_EQ(ReadFile(Settings::kFileName), written);
}

}  // namespace
}  // namespace kv
