#pragma once
// A set of processes ordered by creation (KvProcess::sequence), without duplicates: a sorted
// vector, so that walking it every tick is a plain loop and emptying it keeps its storage.
// Once a battle has reached its largest number of processes, no change allocates.

#include <algorithm>
#include <vector>

#include "core/Process.h"

namespace kv {

class ProcessSet {
public:
    using const_iterator = std::vector<KvProcess*>::const_iterator;

    // False when p was already in the set.
    bool insert(KvProcess* p) {
        const auto it = LowerBound(p);
        if (it != items_.end() && *it == p) return false;
        items_.insert(it, p);
        return true;
    }
    // False when p was not in the set.
    bool erase(KvProcess* p) {
        const auto it = LowerBound(p);
        if (it == items_.end() || *it != p) return false;
        items_.erase(it);
        return true;
    }
    bool contains(const KvProcess* p) const {
        const auto it = LowerBound(p);
        return it != items_.end() && *it == p;
    }
    size_t count(const KvProcess* p) const { return contains(p) ? 1 : 0; }
    // Inserts every process of other that is not here yet.
    void merge(const ProcessSet& other) {
        for (KvProcess* p : other) insert(p);
    }
    void clear() { items_.clear(); }
    bool empty() const { return items_.empty(); }
    size_t size() const { return items_.size(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

private:
    static bool Before(const KvProcess* a, const KvProcess* b) { return a->sequence < b->sequence; }
    std::vector<KvProcess*>::iterator LowerBound(const KvProcess* p) {
        return std::lower_bound(items_.begin(), items_.end(), p, Before);
    }
    const_iterator LowerBound(const KvProcess* p) const {
        return std::lower_bound(items_.begin(), items_.end(), p, Before);
    }

    std::vector<KvProcess*> items_;
};

}  // namespace kv
