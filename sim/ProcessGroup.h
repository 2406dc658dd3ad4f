#pragma once
// Who owns a process handed over by its creator: the battle session for the battle's own
// processes, a KvProcessGroup for those the drawing side steps itself (marks, smoke, fire,
// wrecks). Both register what they own with a scheduler, which steps it from the end of the
// current tick on.

#include <cassert>

#include "sim/ProcessSet.h"
#include "sim/Scheduler.h"

namespace kv {

class KvProcessOwner {
public:
    virtual ~KvProcessOwner() = default;
    // Takes the process and registers it with the scheduler (stepped from the next tick).
    virtual void Add(KvProcess* process) = 0;
    // Takes the process off the scheduler at the end of the tick, deleted then if deleteIt.
    virtual void Remove(KvProcess* process, bool deleteIt) = 0;
};

// Processes on a scheduler of their own, owned until they remove themselves or are cleared.
class KvProcessGroup : public KvProcessOwner {
public:
    // The scheduler outlives the group.
    explicit KvProcessGroup(ProcessScheduler& scheduler) : scheduler_(scheduler) {}
    ~KvProcessGroup() override { Clear(); }
    KvProcessGroup(const KvProcessGroup&) = delete;
    KvProcessGroup& operator=(const KvProcessGroup&) = delete;

    void Add(KvProcess* process) override {
        scheduler_.Add(process, true, false);
        owned_.insert(process);
    }
    // A process that is not the group's is left alone. Kept, it is the caller's again.
    void Remove(KvProcess* process, bool deleteIt) override {
        if (!owned_.erase(process)) return;
        scheduler_.Remove(process, true, false, deleteIt);
    }
    // Deletes every process the group owns, wherever the scheduler holds it. Not inside a tick.
    void Clear() {
        assert(!scheduler_.InTick() && "a process group cleared inside its own tick");
        for (KvProcess* p : owned_) {
            scheduler_.Forget(p);
            delete p;
        }
        owned_.clear();
    }
    const ProcessSet& Owned() const { return owned_; }

private:
    ProcessScheduler& scheduler_;
    ProcessSet owned_;
};

}  // namespace kv
