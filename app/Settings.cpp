#include "app/Settings.h"

#include <cstdio>
#include <optional>
#include <string>

#include "app/IniFile.h"

namespace kv {
namespace {

// The value in lower case, or fallback when the key is missing. (Only short words match, so
// a long value needs no cutting; the file itself is read only up to its cap.)
std::string ReadValue(const KvIniFile& file, const char* section, const char* key, const char* fallback) {
    std::string value = file.Get(section, key).value_or(fallback);
    for (char& c : value) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return value;
}

const char* OnOff(bool on) { return on ? "On" : "Off"; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A path as a value that reads back as itself: bare when it can be, else between quotes of
// a kind it does not hold. None for a path that no value can hold (a line break in it, or
// both kinds of quote where quotes are needed).
std::optional<std::string> PathValue(const std::string& path) {
    if (path.find_first_of("\r\n") != std::string::npos) return std::nullopt;
    bool bare = path.empty() || (!IsBlank(path.front()) && !IsBlank(path.back()) && path.front() != '"' &&
                                 path.front() != '\'');
    for (size_t i = 1; bare && i < path.size(); ++i)
        if ((path[i] == ';' || path[i] == '#') && IsBlank(path[i - 1])) bare = false;
    if (bare) return path;
    if (path.find('"') == std::string::npos) return '"' + path + '"';
    if (path.find('\'') == std::string::npos) return '\'' + path + '\'';
    return std::nullopt;
}

std::string SlotKey(const char* name, size_t slot) { return name + std::to_string(slot + 1); }

}  // namespace

void Settings::Read() {
    KvIniFile file;
    if (file.Load(kFileName) == KvIniFile::LoadResult::TooLarge) {
        std::fprintf(stderr, "kolvex: %s is larger than 1 MiB: only its start is read, and the settings are not "
                     "written back to it\n", kFileName);
        failureSaid_ = true;
    }
    ReadFrom(file);
}

void Settings::ReadFrom(const KvIniFile& file) {
    std::string shadow = ReadValue(file, "Render", "Shadow", "Off");
    shadowMode = shadow == "map" ? 2 : shadow == "stencil" ? 1 : 0;
    oneViewActive = ReadValue(file, "Views", "OneViewActive", "On") == "on" ? 1 : 0;
    vsync = ReadValue(file, "Render", "VSync", "Off") == "on" ? 1 : 0;
    showSplash = ReadValue(file, "Setup", "ShowSplash", "On") == "on";
    soundOn = ReadValue(file, "Sound", "Sound", "On") == "on";
    for (size_t slot = 0; slot < robots.size(); ++slot) {
        robots[slot].path = file.Get("Robots", SlotKey("Robot", slot)).value_or("");
        robots[slot].enabled = ReadValue(file, "Robots", SlotKey("Use", slot).c_str(), "Off") == "on";
    }
}

bool Settings::Write() {
    return Save([this](KvIniFile& file) { WriteTo(file); });
}

bool Settings::WriteRobots() {
    return Save([this](KvIniFile& file) { WriteRobotsTo(file); });
}

bool Settings::Save(const std::function<void(KvIniFile&)>& change) {
    KvIniFile file;
    file.Load(kFileName);  // a file read only in part is refused by Save
    change(file);
    std::string why;
    if (file.Save(kFileName, &why)) return true;
    if (!failureSaid_) {
        std::fprintf(stderr, "kolvex: the settings cannot be written to %s (%s); it is left as it was\n", kFileName,
                     why.c_str());
        failureSaid_ = true;
    }
    return false;
}

void Settings::WriteTo(KvIniFile& file) const {
    file.Set("Render", "Shadow", shadowMode == 1 ? "Stencil" : shadowMode == 2 ? "Map" : "Off");
    file.Set("Render", "VSync", OnOff(vsync == 1));
    file.Set("Views", "OneViewActive", OnOff(oneViewActive != 0));
    file.Set("Setup", "ShowSplash", OnOff(showSplash));
    file.Set("Sound", "Sound", OnOff(soundOn));
}

void Settings::WriteRobotsTo(KvIniFile& file) const {
    for (size_t slot = 0; slot < robots.size(); ++slot) {
        // A path no value can hold leaves the slot's entry as it was.
        if (const std::optional<std::string> value = PathValue(robots[slot].path)) {
            file.Set("Robots", SlotKey("Robot", slot), *value);
            file.Set("Robots", SlotKey("Use", slot), OnOff(robots[slot].enabled));
        }
    }
}

}  // namespace kv
