#pragma once
// A record that one thread publishes whole and other threads read whole: a reader gets what
// one Store wrote, never fields of two. A sequence lock: the sequence is odd while a store
// is under way, and a reader that saw it odd or changed reads again. The writer never
// waits. Stores must not overlap (one writer at a time, handed over under a lock).
//
// Every field of the shared copy is written and read through an atomic reference, so no
// access is a data race for the language or for ThreadSanitizer. Fields are stored with
// release and loaded with acquire: a reader that sees any field of a later store therefore
// also sees that store's odd sequence. T lists its fields once, in
// `template <class A, class B, class F> static void ForEachField(A& a, B& b, F f)`, which
// calls f(a.field, b.field) for each field; copying field by field keeps each in a
// register on its way, where copying the record's bytes would stall on partial words.

#include <atomic>
#include <cstdint>
#include <thread>
#include <type_traits>

namespace kv {

template <class T>
class Published {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    explicit Published(const T& initial = T()) { Store(initial); }

    void Store(const T& value) {
        const uint64_t sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);
        T::ForEachField(shared_, value, [](auto& to, const auto& from) {
            std::atomic_ref(to).store(from, std::memory_order_release);
        });
        sequence_.store(sequence + 2, std::memory_order_release);
    }

    T Load() const {
        T value;
        for (;;) {
            const uint64_t before = sequence_.load(std::memory_order_acquire);
            if ((before & 1) == 0) {
                T::ForEachField(value, shared_, [](auto& to, auto& from) {
                    to = std::atomic_ref(from).load(std::memory_order_acquire);
                });
                if (sequence_.load(std::memory_order_relaxed) == before) return value;
            }
            std::this_thread::yield();
        }
    }

private:
    std::atomic<uint64_t> sequence_{0};
    mutable T shared_;  // touched only through atomic references
};

}  // namespace kv
