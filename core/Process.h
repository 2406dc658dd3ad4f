#pragma once
// Roots of the simulation classes. Every class deriving from KvObject does so virtually,
// so an object that is both a robot body and a process holds one KvObject.

#include <atomic>
#include <cstdint>

#include "core/KvString.h"

namespace kv {

class KvObject {
public:
    virtual ~KvObject() = default;
    KvString name;
};

// Anything that changes with time; stepped once per scheduler tick with the elapsed seconds.
class KvProcess : public virtual KvObject {
public:
    explicit KvProcess(bool deleteOnRemove) : deleteOnRemove(deleteOnRemove), sequence(NextSequence()) {}
    virtual void Step(double dt) = 0;
    bool deleteOnRemove;
    // Creation order, unique over the run. The scheduler steps processes in this order, so a
    // battle with the same seed and time steps replays exactly (addresses would not).
    const uint64_t sequence;
    // Coming ticks that a scheduler whose dt has not changed since this process's latest
    // Step may skip without calling it: the process has worked out that those steps would
    // change nothing it cannot replay when it is next stepped. Set by the process in Step,
    // counted down only by the scheduler that steps it.
    uint32_t idleTicks = 0;
    // idleTicks of a process whose steps would change nothing until something wakes it.
    static constexpr uint32_t kIdleForever = 0xffffffffu;

private:
    static uint64_t NextSequence() {
        static std::atomic<uint64_t> counter{0};
        return counter.fetch_add(1, std::memory_order_relaxed);
    }
};

}  // namespace kv
