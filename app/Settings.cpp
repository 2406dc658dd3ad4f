#include "app/Settings.h"

#include <cstdio>
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
}

bool Settings::Write() {
    KvIniFile file;
    file.Load(kFileName);  // a file read only in part is refused by Save
    WriteTo(file);
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

}  // namespace kv
