#include "app/IniFile.h"

#include <sys/stat.h>

#include <random>

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

TEST_F(IniFile, SettingKeepsEveryOtherLineItsPlaceAndTheLineEnds) {
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
              "Shadow=Map ; was off\r\n"
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
