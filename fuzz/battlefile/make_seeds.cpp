// Writes the battle-file fuzz target's seeds into a folder, from the program's own writer, so
// that the seeds follow the format wherever it goes.

#include <cstdio>
#include <fstream>
#include <string>

#include "sim/BattleFile.h"

namespace {

using namespace kv;

KvBattleRecord One() {
    KvBattleRecord r;
    r.seed = 7;
    r.robots = {{0, 0, KvFile("robots/spiral.r"), "main()\n{\n  while (1) drive(rand(360), 100);\n}\n"}};
    return r;
}

KvBattleRecord Two() {
    KvBattleRecord r;
    r.seed = 4294967295u;
    r.dt = 0.1 / 3;
    r.time = 33.3;
    r.robots = {{1, 3, KvFile("a b.r"), std::string("main()\0{}\r\nend\n", 15)}, {3, 1, KvFile("x.r"), ""}};
    r.report = "{\"seed\": 4294967295, \"winner\": null}\n";
    return r;
}

KvBattleRecord Four() {
    KvBattleRecord r = One();
    r.program = "0.0.1";
    r.time = 0;
    for (int k = 1; k < 4; ++k) r.robots.push_back({k, (k + 1) % 4, KvFile("r.r"), "main(){}"});
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_battlefile_seeds FOLDER\n");
        return 2;
    }
    const std::pair<const char*, KvBattleRecord> seeds[] = {{"one.kvb", One()}, {"two.kvb", Two()}, {"four.kvb", Four()}};
    for (const auto& [name, record] : seeds) {
        const std::string path = std::string(argv[1]) + "/" + name;
        const std::string text = WriteBattleText(record);
        std::ofstream out(path, std::ios::binary);
        if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) {
            std::fprintf(stderr, "make_battlefile_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
