#pragma once
// When the ticks of a battle paced to a clock fall due. Every tick steps the same dt, and
// tick k after a restart is due dt / speed clock seconds after tick k - 1, the first at once,
// so battle time keeps to the clock (times speed). A worker that finds itself late runs what
// is due, at most kMaxCatchUp seconds of battle at once; it forgets a longer backlog, so after
// a stall battle time runs slower than the clock rather than in coarser steps.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

namespace kv {

class KvTickPacer {
public:
    static constexpr double kMaxCatchUp = 0.3;

    explicit KvTickPacer(double dt)
        : dt_(dt), maxBatch_(std::max<int64_t>(1, static_cast<int64_t>(std::llround(kMaxCatchUp / dt)))) {}

    // Battle seconds per clock second, from any thread; the pacing starts afresh at the new
    // speed with its next Due.
    void SetSpeed(double speed) { wantedSpeed_.store(speed, std::memory_order_relaxed); }
    double Speed() const { return wantedSpeed_.load(std::memory_order_relaxed); }
    // The next tick is due at now: after a pause, a speed change, or at the start.
    void Restart(double now) {
        anchorTime_ = now;
        anchorTicks_ = done_;
    }
    // How many ticks are due at now, at most kMaxCatchUp seconds of them.
    int64_t Due(double now) {
        if (const double wanted = Speed(); wanted != speed_) {
            speed_ = wanted;
            Restart(now);
        }
        const int64_t due = Reached(now) - (done_ - anchorTicks_);
        if (due <= maxBatch_) return std::max<int64_t>(due, 0);
        // Too far behind: catch up this much only, and count from now.
        anchorTime_ = now;
        anchorTicks_ = done_ + maxBatch_ - 1;
        return maxBatch_;
    }
    // A due tick has run.
    void Ticked() { ++done_; }
    // The clock time at which the next tick falls due.
    double NextDue() const { return anchorTime_ + static_cast<double>(done_ - anchorTicks_) * dt_ / speed_; }
    int64_t Done() const { return done_; }

private:
    // The ticks due since the restart by now, counting the one due at the restart.
    int64_t Reached(double now) const {
        const double elapsed = (now - anchorTime_) * speed_ / dt_;
        return elapsed < 0 ? 0 : static_cast<int64_t>(std::floor(elapsed)) + 1;
    }

    double dt_;
    int64_t maxBatch_;
    std::atomic<double> wantedSpeed_{1};
    double speed_ = 1;  // the speed the anchor counts with
    double anchorTime_ = 0;
    int64_t anchorTicks_ = 0;
    int64_t done_ = 0;
};

}  // namespace kv
