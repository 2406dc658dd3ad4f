#include "sim/BattleReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kv {

std::string ExactNumber(double v) {
    // The shortest text that reads back to the same double.
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

namespace {

double MeanDt(const BattleOutcome& outcome) { return outcome.ticks > 0 ? outcome.time / outcome.ticks : 0; }

// A battle time as the battle has it: to its tick's decimals (the millisecond at least), not
// with the noise that summing a dt leaves ("33.410000000000004").
std::string Seconds(const HeadlessBattleOptions& options, double t) {
    int decimals = 3;
    if (!options.realtime && options.dt > 0) decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(options.dt) - 1e-9)), 3, 9);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, t);
    return text;
}

}  // namespace

std::string FaultLine(const HeadlessBattleOptions& options, const KvFault& fault) {
    std::string out = FaultText(fault.kind);
    if (fault.line > 0) out += " on line " + std::to_string(fault.line);
    return out + " at " + Seconds(options, fault.time) + " s";
}

std::string BattleText(const HeadlessBattleOptions& options, const BattleOutcome& outcome) {
    std::string out = "seed " + std::to_string(options.seed) + "\n";
    out += options.realtime ? "dt measured, mean " + ExactNumber(MeanDt(outcome)) + "\n"
                            : "dt " + ExactNumber(options.dt) + "\n";
    out += "time " + Seconds(options, outcome.time) + "\n";
    for (const RobotOutcome& r : outcome.robots) {
        const RobotValues& v = r.values;
        out += "slot " + std::to_string(r.slot) + "  " + ColourName(r.colour) + "  " + r.file.Std();
        out += "  damage " + ExactNumber(v.damage);
        out += v.dead ? "  dead at " + Seconds(options, v.deathTime) + " s" : "  alive";
        out += "  shots " + std::to_string(v.shots) + "\n";
        // Faults restart a program silently in the battle; the report says so.
        const KvMachineRecord& m = r.machine;
        if (m.restarts > 0) {
            out += "  restarted " + std::to_string(m.restarts) + (m.restarts == 1 ? " time" : " times");
            if (!m.faults.empty()) out += ", first by " + FaultLine(options, m.faults.front());
            out += "\n";
        }
    }
    if (outcome.winner >= 0) {
        for (const RobotOutcome& r : outcome.robots) {
            if (r.slot == outcome.winner)
                out += "winner slot " + std::to_string(r.slot) + " (" + ColourName(r.colour) + ", " + r.file.Std() + ")\n";
        }
    } else {
        out += "no winner\n";
    }
    return out;
}

std::string BattleJson(const HeadlessBattleOptions& options, const BattleOutcome& outcome) {
    const std::string dt = options.realtime ? "\"measured\", \"mean_dt\": " + ExactNumber(MeanDt(outcome))
                                            : ExactNumber(options.dt);
    std::string out = "{\"seed\": " + std::to_string(options.seed) + ", \"dt\": " + dt + ", \"time\": " + ExactNumber(outcome.time) + ", \"winner\": " +
                      (outcome.winner >= 0 ? std::to_string(outcome.winner) : "null") + ", \"robots\": [";
    bool first = true;
    for (const RobotOutcome& r : outcome.robots) {
        if (!first) out += ", ";
        first = false;
        const RobotValues& v = r.values;
        out += "{\"slot\": " + std::to_string(r.slot) + ", \"file\": " + JsonString(r.file.Std()) +
               ", \"colour\": " + JsonString(ColourName(r.colour)) + ", \"alive\": " + (v.dead ? "false" : "true") +
               ", \"damage\": " + ExactNumber(v.damage) +
               ", \"death_time\": " + (v.dead ? ExactNumber(v.deathTime) : "null") +
               ", \"shots\": " + std::to_string(v.shots) + ", \"x\": " + ExactNumber(v.position.x) +
               ", \"y\": " + ExactNumber(v.position.y) + ", \"heading\": " + ExactNumber(v.heading) +
               ", \"speed\": " + ExactNumber(v.speed) + ", \"restarts\": " + std::to_string(r.machine.restarts) +
               ", \"instructions\": " + std::to_string(r.machine.instructions) + ", \"faults\": [";
        for (size_t f = 0; f < r.machine.faults.size(); ++f) {
            const KvFault& fault = r.machine.faults[f];
            out += (f > 0 ? ", " : "") + std::string("{\"kind\": ") + JsonString(FaultText(fault.kind)) +
                   ", \"line\": " + std::to_string(fault.line) + ", \"time\": " + ExactNumber(fault.time) + "}";
        }
        out += "]}";
    }
    return out + "]}\n";
}

std::string TraceJson(double time, int slot, const RobotValues& v) {
    return "{\"t\": " + ExactNumber(time) + ", \"slot\": " + std::to_string(slot) + ", \"x\": " +
           ExactNumber(v.position.x) + ", \"y\": " + ExactNumber(v.position.y) + ", \"heading\": " +
           ExactNumber(v.heading) + ", \"speed\": " + ExactNumber(v.speed) + ", \"damage\": " +
           ExactNumber(v.damage) + "}\n";
}

void MatchTable::Count(const BattleOutcome& outcome) {
    const uint32_t seed = firstSeed + static_cast<uint32_t>(battles);
    ++battles;
    if (outcome.winner < 0) ++undecided;
    for (const RobotOutcome& r : outcome.robots) {
        Row* row = nullptr;
        for (Row& existing : rows) {
            if (existing.slot == r.slot) row = &existing;
        }
        if (!row) {
            row = &rows.emplace_back();
            row->slot = r.slot;
            row->file = r.file.Std();
            row->colour = r.colour;
        }
        if (outcome.winner == r.slot && ++row->wins == 1) row->firstWinSeed = seed;
        if (!r.values.dead) ++row->survived;
        row->damage += r.values.damage;
        row->shots += r.values.shots;
    }
}

std::string MatchTable::Text(const HeadlessBattleOptions& options) const {
    char line[512];  // room for a file name of 255 bytes
    std::string out = "seeds " + std::to_string(firstSeed) + ".." + std::to_string(firstSeed + battles - 1) +
                      "  battles " + std::to_string(battles) + "  dt " +
                      (options.realtime ? "measured" : ExactNumber(options.dt)) + "  time " +
                      ExactNumber(options.time) + "\n";
    std::snprintf(line, sizeof line, "%-4s  %-7s  %-24s  %6s  %8s  %10s  %10s  %10s\n", "slot", "colour", "file", "wins",
                  "survived", "avg damage", "avg shots", "first win");
    out += line;
    for (const Row& r : rows) {
        const double n = battles > 0 ? battles : 1;
        const std::string firstWin = r.firstWinSeed ? std::to_string(*r.firstWinSeed) : "-";
        std::snprintf(line, sizeof line, "%-4d  %-7s  %-24s  %6d  %8d  %10.2f  %10.2f  %10s\n", r.slot,
                      ColourName(r.colour), r.file.c_str(), r.wins, r.survived, r.damage / n,
                      static_cast<double>(r.shots) / n, firstWin.c_str());
        out += line;
    }
    out += "no winner in " + std::to_string(undecided) + " of " + std::to_string(battles) + " battles\n";
    return out;
}

std::string MatchTable::Json(const HeadlessBattleOptions& options) const {
    std::string out = "{\"seed\": " + std::to_string(firstSeed) + ", \"battles\": " + std::to_string(battles) +
                      ", \"dt\": " + (options.realtime ? "\"measured\"" : ExactNumber(options.dt)) +
                      ", \"time\": " + ExactNumber(options.time) +
                      ", \"undecided\": " + std::to_string(undecided) + ", \"robots\": [";
    bool first = true;
    for (const Row& r : rows) {
        if (!first) out += ", ";
        first = false;
        out += "{\"slot\": " + std::to_string(r.slot) + ", \"file\": " + JsonString(r.file) + ", \"colour\": " +
               JsonString(ColourName(r.colour)) + ", \"wins\": " + std::to_string(r.wins) +
               ", \"survived\": " + std::to_string(r.survived) + ", \"damage\": " + ExactNumber(r.damage) +
               ", \"shots\": " + std::to_string(r.shots) +
               ", \"first_win_seed\": " + (r.firstWinSeed ? std::to_string(*r.firstWinSeed) : "null") + "}";
    }
    return out + "]}\n";
}

}  // namespace kv
