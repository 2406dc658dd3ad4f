// Any bytes as Config.ini: read the settings, write them (varied by the input), read that
// back and write again. Reading keeps every byte; what was written reads back as written; a
// second write changes nothing; and every line that holds none of the game's keys comes
// through whole and in order, while the lines added are the game's own.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "app/IniFile.h"
#include "app/Settings.h"

namespace {

using namespace kv;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz_settings: %s\n", what);
    std::abort();
}

struct Line {
    std::string_view text, end;
};

// Lines ended by CR LF, LF or CR, as a player's editor may leave them.
std::vector<Line> Lines(std::string_view s) {
    std::vector<Line> lines;
    while (!s.empty()) {
        const std::size_t at = s.find_first_of("\r\n");
        if (at == std::string_view::npos) {
            lines.push_back({s, {}});
            break;
        }
        const std::size_t endSize = s.substr(at, 2) == "\r\n" ? 2 : 1;
        lines.push_back({s.substr(0, at), s.substr(at, endSize)});
        s.remove_prefix(at + endSize);
    }
    return lines;
}

// Whether a line may be one the game writes: it names one of its keys or sections.
bool MayBeTheGames(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (const char* name : {"shadow", "vsync", "oneviewactive", "showsplash", "sound", "render", "views", "setup"}) {
        if (lower.find(name) != std::string::npos) return true;
    }
    return lower.find_first_not_of(" \t") == std::string::npos;
}

auto Fields(const Settings& s) { return std::tuple(s.shadowMode, s.oneViewActive, s.vsync, s.showSplash, s.soundOn); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    KvIniFile file;
    file.SetText(input);
    if (file.Text() != input) Broken("reading lost or changed bytes");

    Settings settings;
    settings.ReadFrom(file);
    if (size > 0) {
        // What the player may have chosen since: the last byte picks one of 48 combinations.
        const int pick = data[size - 1] % 48;
        settings.shadowMode = pick % 3;
        settings.oneViewActive = pick / 3 % 2;
        settings.vsync = pick / 6 % 2;
        settings.showSplash = pick / 12 % 2;
        settings.soundOn = pick / 24 % 2;
    }
    settings.WriteTo(file);
    const std::string first = file.Text();

    KvIniFile again;
    again.SetText(first);
    Settings back;
    back.ReadFrom(again);
    if (Fields(back) != Fields(settings)) Broken("what was written reads back otherwise");
    back.WriteTo(again);
    if (again.Text() != first) Broken("a second write changed the file");

    // The player's lines, matched in order among the written ones; the rest are the game's.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string_view player = input, written = first;
    if (player.substr(0, 3) == kByteOrderMark) {
        if (written.substr(0, 3) != kByteOrderMark) Broken("the byte-order mark was lost");
        player.remove_prefix(3);
        written.remove_prefix(3);
    }
    const std::vector<Line> before = Lines(player), after = Lines(written);
    std::size_t next = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Line& line = before[i];
        if (MayBeTheGames(line.text)) continue;
        // Only a last line without an end may gain one.
        const bool mayGainEnd = i + 1 == before.size() && line.end.empty();
        while (next < after.size() && !(after[next].text == line.text &&
                                         (after[next].end == line.end || mayGainEnd))) {
            if (!MayBeTheGames(after[next].text)) Broken("a line appeared that is neither the player's nor the game's");
            ++next;
        }
        if (next == after.size()) Broken("a line of the player's was lost or changed");
        ++next;
    }
    if (after.size() > before.size() + 15) Broken("more lines added than five keys need");
    return 0;
}
