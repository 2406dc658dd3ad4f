#include "app/IniFile.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <random>
#include <vector>

#include "InTempDir.h"

namespace kv {
namespace {

using IniFile = InTempDir;
using Load = KvIniFile::LoadResult;

TEST_F(IniFile, ReadsAFileWrittenByAnotherProgram) {
    WriteFile("a.ini",
              "\xEF\xBB\xBF; written by hand\r\n"
              "stray=before any section\r\n"
              "  [ render ]  ; the renderer\r\n"
              "\tSHADOW   =   Stencil   \r\n"
              "# vsync=Off\r\n"
              "vsync= On ; for the big screen\r\n"
              "Title = \"  quoted  \"\r\n"
              "no equals sign here\r\n"
              "=no key\r\n"
              "[Other]\r\n"
              "Shadow=Map\r\n"
              "[RENDER]\r\n"
              "Shadow=Map\r\n"
              "Extra=x;y\r\n");
    KvIniFile file;
    ASSERT_EQ(file.Load("a.ini"), Load::Loaded);
    EXPECT_EQ(file.Get("Render", "Shadow"), "Stencil");  // the first entry wins
    EXPECT_EQ(file.Get("Render", "VSync"), "On");
    EXPECT_EQ(file.Get("Render", "title"), "  quoted  ");
    EXPECT_EQ(file.Get("render", "extra"), "x;y");  // a comment starts after a blank only
    EXPECT_EQ(file.Get("Other", "Shadow"), "Map");
    EXPECT_FALSE(file.Get("", "stray"));
    EXPECT_FALSE(file.Get("Render", "vsync=Off"));
    EXPECT_FALSE(file.Get("Render", "no equals sign here"));
    EXPECT_FALSE(file.Get("Views", "Shadow"));
}

TEST_F(IniFile, SettingKeepsEveryOtherByteItsPlaceAndTheLineEnds) {
    WriteFile("a.ini",
              "\xEF\xBB\xBF; mine\r\n"
              "[render]\r\n"
              "shadow = stencil ; was off\r\n"
              "Mine=1\r\n"
              "\r\n"
              "; next\r\n"
              "[Other]\r\n"
              "Key=Value\r\n"
              "[Render]\r\n"
              "Later=2\r\n");
    KvIniFile file;
    ASSERT_EQ(file.Load("a.ini"), Load::Loaded);
    file.Set("Render", "Shadow", "Map");
    file.Set("Render", "VSync", "On");
    file.Set("Render", "Later", "3");
    file.Set("Sound", "Sound", "Off");
    ASSERT_TRUE(file.Save("a.ini"));
    EXPECT_EQ(ReadFile("a.ini"),
              "\xEF\xBB\xBF; mine\r\n"
              "[render]\r\n"
              "shadow = Map ; was off\r\n"
              "Mine=1\r\n"
              "VSync=On\r\n"
              "\r\n"
              "; next\r\n"
              "[Other]\r\n"
              "Key=Value\r\n"
              "[Render]\r\n"
              "Later=3\r\n"
              "\r\n"
              "[Sound]\r\n"
              "Sound=Off\r\n");
}

// Regression: one line-end style, taken from the first line, was written on every line, and
// a file with CR line ends only read as one line.
TEST_F(IniFile, EachLineKeepsItsOwnEndAndCrAloneEndsALine) {
    struct Case {
        const char* before;
        const char* after;  // once Shadow=Map and VSync=On are set: an added line ends as the one before it
    };
    const Case cases[] = {
        {"; mixed\r\n[Render]\nShadow=Off\r\nKeep\rMore\n",
         "; mixed\r\n[Render]\nShadow=Map\r\nVSync=On\r\nKeep\rMore\n"},
        {"[Render]\rShadow=Off\r", "[Render]\rShadow=Map\rVSync=On\r"},
        {"[Render]\nShadow=Off", "[Render]\nShadow=Map\nVSync=On\n"},  // the last line gains an end
        {"\r\r\n\n[Render]\r\nShadow=Off\n\r", "\r\r\n\n[Render]\r\nShadow=Map\nVSync=On\n\r"},
    };
    for (const Case& c : cases) {
        KvIniFile file;
        file.SetText(c.before);
        EXPECT_EQ(file.Get("Render", "Shadow"), "Off") << c.before;
        EXPECT_EQ(file.Text(), c.before);
        file.Set("Render", "Shadow", "Map");
        file.Set("Render", "VSync", "On");
        EXPECT_EQ(file.Text(), c.after) << c.before;
        file.SetText(file.Text());
        file.Set("Render", "Shadow", "Map");
        file.Set("Render", "VSync", "On");
        EXPECT_EQ(file.Text(), c.after) << "written again: " << c.before;
    }
    KvIniFile file;
    file.SetText("[Render]\nShadow=Off");
    file.Set("Render", "Shadow", "Map");
    EXPECT_EQ(file.Text(), "[Render]\nShadow=Map") << "no end is added to a line that is not followed";
}

// Regression: `Sound="On ;x"` was cut at the ';' inside the quotes and rewritten `Sound=Off ;x"`.
TEST_F(IniFile, QuotesEncloseAValueAndACommentFollowsABlankOutsideThem) {
    struct Case {
        const char* line;
        const char* value;      // as read
        const char* rewritten;  // with the value Off
    };
    const Case cases[] = {
        {"Sound=\"On ;x\"", "On ;x", "Sound=\"Off\""},
        {"Sound=\"On\" ; loud", "On", "Sound=\"Off\" ; loud"},
        {"Sound = 'On' # mine", "On", "Sound = 'Off' # mine"},
        {"  sound  =  On  ; loud", "On", "  sound  =  Off  ; loud"},
        {"Sound=On;x", "On;x", "Sound=Off"},
        {"Sound=On\t#x", "On", "Sound=Off\t#x"},
        {"Sound=", "", "Sound=Off"},
        {"Sound=  ;x", "", "Sound=Off  ;x"},
        {"Sound=\"\"", "", "Sound=\"Off\""},
        {"Sound=\"On", "\"On", "Sound=Off"},
        {"Sound=\"a\" b ;c", "a", "Sound=\"Off\" b ;c"},
    };
    for (const Case& c : cases) {
        KvIniFile file;
        file.SetText(std::string("[Sound]\n") + c.line + "\n");
        EXPECT_EQ(file.Get("Sound", "Sound"), c.value) << c.line;
        file.Set("Sound", "Sound", "Off");
        EXPECT_EQ(file.Text(), std::string("[Sound]\n") + c.rewritten + "\n") << c.line;
        file.SetText(file.Text());
        EXPECT_EQ(file.Get("Sound", "Sound"), "Off") << c.line;
    }
}

TEST_F(IniFile, MissingFileIsEmptyAndSavesWithLineFeeds) {
    KvIniFile file;
    EXPECT_EQ(file.Load("none.ini"), Load::Missing);
    EXPECT_FALSE(file.Get("Render", "Shadow"));
    file.Set("A", "k", "v");
    file.Set("B", "k", "w");
    file.Set("A", "j", "u");
    ASSERT_TRUE(file.Save("none.ini"));
    EXPECT_EQ(ReadFile("none.ini"), "[A]\nk=v\nj=u\n\n[B]\nk=w\n");
}

TEST_F(IniFile, ADirectoryOrAPipeInPlaceOfTheFileIsUnreadableAndLeftAlone) {
    std::filesystem::create_directory("dir.ini");
    ASSERT_EQ(mkfifo("pipe.ini", 0600), 0);  // opening it to read would wait for a writer
    for (const char* name : {"dir.ini", "pipe.ini"}) {
        KvIniFile file;
        EXPECT_EQ(file.Load(name), Load::Unreadable) << name;
        file.Set("A", "k", "v");
        EXPECT_FALSE(file.Save(name)) << name;
    }
    KvIniFile file;
    EXPECT_FALSE(file.Save("no-such-dir/a.ini"));
}

// Regression: the file was rewritten in place, so a write that failed half way (a full disk)
// left the player's file cut short, and nothing said so.
TEST_F(IniFile, AFailedWriteLeavesTheOldFileWholeAndNothingBeside) {
    const std::string old = "[Render]\nShadow=Off\n; " + std::string(3000, 'x') + "\n";
    WriteFile("a.ini", old);
    KvIniFile file;
    ASSERT_EQ(file.Load("a.ini"), Load::Loaded);
    file.Set("Render", "Shadow", "Map");
    // Files may grow to 100 bytes only: the write fails as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{}, small{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    small = limit;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string why;
    const bool saved = file.Save("a.ini", &why);
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(ReadFile("a.ini"), old);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"a.ini"});
}

TEST_F(IniFile, ASavedFileKeepsItsPermissionsAndALinkStaysALink) {
    WriteFile("real.ini", "[A]\nk=v\n");
    ASSERT_EQ(chmod("real.ini", 0640), 0);
    std::filesystem::create_symlink("real.ini", "link.ini");
    KvIniFile file;
    ASSERT_EQ(file.Load("link.ini"), Load::Loaded);
    file.Set("A", "k", "w");
    ASSERT_TRUE(file.Save("link.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink("link.ini"));
    EXPECT_EQ(ReadFile("real.ini"), "[A]\nk=w\n");
    struct stat status {};
    ASSERT_EQ(stat("real.ini", &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(IniFile, AHugeFileIsReadInPartAndNeverRewritten) {
    std::string huge = "[A]\nk=first\n" + std::string(KvIniFile::kMaxFileBytes, 'x') + "\n[B]\nk=beyond\n";
    WriteFile("a.ini", huge);
    KvIniFile file;
    EXPECT_EQ(file.Load("a.ini"), Load::TooLarge);
    EXPECT_EQ(file.Get("A", "k"), "first");
    EXPECT_FALSE(file.Get("B", "k"));
    file.Set("A", "k", "second");
    EXPECT_FALSE(file.Save("a.ini"));
    EXPECT_EQ(ReadFile("a.ini"), huge);
}

TEST_F(IniFile, SurvivesRandomBytes) {
    std::mt19937 random(9);
    static const char kBytes[] = "[]=;#\"' \t\r\nAbKk\xEF\xBB\xBF\xFF";  // and its terminating zero
    const std::string alphabet(kBytes, sizeof kBytes);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 2000, '\0');
        for (char& c : bytes) c = alphabet[random() % alphabet.size()];
        WriteFile("a.ini", bytes);
        KvIniFile file;
        ASSERT_EQ(file.Load("a.ini"), Load::Loaded);
        file.Get("A", "k");
        file.Set("A", "k", "v");
        ASSERT_TRUE(file.Save("a.ini"));
        ASSERT_EQ(file.Load("a.ini"), Load::Loaded);
        EXPECT_EQ(file.Get("A", "k"), "v") << "round " << round;
    }
}

}  // namespace
}  // namespace kv
