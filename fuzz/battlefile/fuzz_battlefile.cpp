// Any bytes as a battle file: the parse ends in a record or one message, never a crash. A
// record it gives is one the format can hold: written again, it reads back the same and
// writes the same bytes, and its choices set up exactly its robots.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/BattleFile.h"

namespace {

using namespace kv;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz_battlefile: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    KvBattleRecord record;
    KvString error;
    if (!ParseBattleText(input, record, error)) {
        if (error.Length() == 0) Broken("a refusal without a message");
        return 0;
    }
    if (!BattleRecordProblem(record).empty()) Broken("a record was read that breaks the format's rules");
    const std::string text = WriteBattleText(record);
    KvBattleRecord back;
    if (!ParseBattleText(text, back, error)) Broken("what was written does not read back");
    if (WriteBattleText(back) != text) Broken("what was read back writes otherwise");
    int enabled = 0;
    for (const RobotChoice& choice : BattleChoices(record)) enabled += choice.enabled && choice.source ? 1 : 0;
    if (enabled != static_cast<int>(record.robots.size())) Broken("the choices are not the record's robots");
    return 0;
}
