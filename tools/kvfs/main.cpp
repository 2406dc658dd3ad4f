// kvfs: builds, lists and unpacks the game's resource archive, so that our asset pipeline
// can pack the generated resources and a player can swap a texture or a sound.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/KvFS.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  kvfs pack OUT.kvfs NAME=PATH...   pack files into a new archive, each under NAME\n"
    "  kvfs pack OUT.kvfs @LISTFILE      the same, reading one NAME=PATH per line\n"
    "  kvfs list ARCHIVE                 print name, offset and size of every entry\n"
    "  kvfs extract ARCHIVE NAME OUT     copy one entry out to the file OUT\n"
    "  kvfs --help                       show this text\n"
    "\n"
    "Names are case-sensitive. Blank lines and lines starting with # in a list file are skipped.\n";

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Splits "NAME=PATH" at the first '='; the name may not be empty.
bool AddEntry(const std::string& pair, std::vector<kv::KvFSWriteEntry>& entries, std::set<std::string>& names) {
    size_t eq = pair.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == pair.size()) {
        std::fprintf(stderr, "kvfs: expected NAME=PATH, got '%s'\n", pair.c_str());
        return false;
    }
    std::string name = pair.substr(0, eq);
    std::string path = pair.substr(eq + 1);
    if (!names.insert(name).second) {
        std::fprintf(stderr, "kvfs: the name '%s' is given twice\n", name.c_str());
        return false;
    }
    kv::KvFSWriteEntry entry;
    entry.name = kv::KvString(name.c_str());
    if (!ReadWholeFile(path, entry.data)) {
        std::fprintf(stderr, "kvfs: cannot read '%s'\n", path.c_str());
        return false;
    }
    entries.push_back(std::move(entry));
    return true;
}

int Pack(int argc, char** argv) {
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<kv::KvFSWriteEntry> entries;
    std::set<std::string> names;
    for (int i = 3; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '@') {
            std::ifstream list(arg.substr(1));
            if (!list) {
                std::fprintf(stderr, "kvfs: cannot read the list file '%s'\n", arg.c_str() + 1);
                return 1;
            }
            std::string line;
            while (std::getline(list, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.empty() || line[0] == '#') continue;
                if (!AddEntry(line, entries, names)) return 1;
            }
        } else if (!AddEntry(arg, entries, names)) {
            return 1;
        }
    }
    if (!kv::WriteArchive(argv[2], entries)) {
        std::fprintf(stderr, "kvfs: cannot write '%s' (too large or not writable)\n", argv[2]);
        return 1;
    }
    return 0;
}

bool OpenArchive(const kv::KvFS& fs) {
    if (fs.IsOpen()) return true;
    std::fprintf(stderr, "kvfs: %s\n", fs.Problem().CStr());
    return false;
}

int List(int argc, char** argv) {
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    kv::KvFS fs(argv[2]);
    if (!OpenArchive(fs)) return 1;
    for (const kv::KvFSEntry& e : fs.Entries()) std::printf("%s %u %u\n", e.name.CStr(), e.offset, e.size);
    return 0;
}

int Extract(int argc, char** argv) {
    if (argc != 5) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    kv::KvFS fs(argv[2]);
    if (!OpenArchive(fs)) return 1;
    kv::KvFSIStream in(&fs, argv[3]);
    if (!in.IsOpen()) {
        std::fprintf(stderr, "kvfs: no entry named '%s' in '%s'\n", argv[3], argv[2]);
        return 1;
    }
    std::vector<uint8_t> data(in.size);
    if (in.size > 0 && in.Read(data.data(), in.size) != static_cast<int32_t>(in.size)) {
        std::fprintf(stderr, "kvfs: cannot read the entry '%s'\n", argv[3]);
        return 1;
    }
    std::FILE* out = std::fopen(argv[4], "wb");
    bool ok = out && std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (out) ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "kvfs: cannot write '%s'\n", argv[4]);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "pack") return Pack(argc, argv);
    if (command == "list") return List(argc, argv);
    if (command == "extract") return Extract(argc, argv);
    std::fprintf(stderr, "kvfs: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return 2;
}
