#pragma once
// The five choices of the Setup menu that survive between runs, kept in "Config.ini" in the
// current directory.
//
// The file:  section   key              written          missing or unreadable
//            Render    Shadow           Off|Stencil|Map  Off
//            Views     OneViewActive    On|Off           On
//            Render    VSync            On|Off           Off
//            Setup     ShowSplash       On|Off           On
//            Sound     Sound            On|Off           On
//            Robots    Robot1..Robot4   a path           none
//            Robots    Use1..Use4       On|Off           Off
// The robots are the choose-robots dialog's last choices, written when it closes with OK.
// Reading ignores the case of sections, keys and values; writing uses the forms above and
// keeps every other byte of the file. A file that cannot be written back is said once on
// standard error and left as it was.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace kv {

class KvIniFile;

struct Settings {
    static constexpr const char* kFileName = "Config.ini";

    int32_t shadowMode = 0;     // 0 off, 1 stencil volumes, 2 shadow maps
    int32_t oneViewActive = 1;  // 1: only one robot view is live; 0: all are
    int32_t vsync = 0;          // the swap interval, 1 or 0
    bool showSplash = true;
    bool soundOn = true;
    // The choose-robots dialog's slots as last chosen: taken part or not, and the file's path.
    struct RobotSlot {
        bool enabled = false;
        std::string path;
        bool operator==(const RobotSlot&) const = default;
    };
    std::array<RobotSlot, 4> robots;

    // Sets all five from the file; what the file lacks, or holds in a form not above, gets
    // the table's default. Never fails; a file too large to be written back is said then.
    void Read();
    // Writes the five Setup choices into the file. False when it cannot be written, or when
    // it is one that could be read only in part (too large, unreadable), which is then left
    // as it was; the first such failure is said on standard error.
    bool Write();

    // Writes the robots into the file, as Write does the rest; a slot whose path no value can
    // hold (a line break in it) is left as the file has it.
    bool WriteRobots();

    // The same from and into a file already in memory.
    void ReadFrom(const KvIniFile& file);
    void WriteTo(KvIniFile& file) const;
    void WriteRobotsTo(KvIniFile& file) const;

private:
    bool Save(const std::function<void(KvIniFile&)>& change);
    bool failureSaid_ = false;
};

}  // namespace kv
