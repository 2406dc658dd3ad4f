#include "app/Settings.h"

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

}  // namespace

void Settings::Read() {
    KvIniFile file;
    file.Load(kFileName);
    std::string shadow = ReadValue(file, "Render", "Shadow", "Off");
    shadowMode = shadow == "map" ? 2 : shadow == "stencil" ? 1 : 0;
    oneViewActive = ReadValue(file, "Views", "OneViewActive", "On") == "on" ? 1 : 0;
    vsync = ReadValue(file, "Render", "VSync", "Off") == "on" ? 1 : 0;
    showSplash = ReadValue(file, "Setup", "ShowSplash", "On") == "on";
    soundOn = ReadValue(file, "Sound", "Sound", "On") == "on";
}

bool Settings::Write() const {
    KvIniFile file;
    file.Load(kFileName);  // a file read only in part is refused by Save
    file.Set("Render", "Shadow", shadowMode == 1 ? "Stencil" : shadowMode == 2 ? "Map" : "Off");
    file.Set("Render", "VSync", OnOff(vsync == 1));
    file.Set("Views", "OneViewActive", OnOff(oneViewActive != 0));
    file.Set("Setup", "ShowSplash", OnOff(showSplash));
    file.Set("Sound", "Sound", OnOff(soundOn));
    return file.Save(kFileName);
}

}  // namespace kv
