#pragma once
// The game's sounds, one per sound key of the resource list, made from the WAV files the
// headless resource store read. This is the sound side of the store's seam: the rest of the
// game names a sound by its key and plays what this bank returns for it.
//
// Filled once at start-up on the main thread and only read afterwards (by the main thread and
// the simulation thread), so look-ups need no lock.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "core/KvString.h"
#include "sound/SoundSystem.h"

namespace kv {

class KvSoundBank {
public:
    KvSoundBank() = default;
    ~KvSoundBank();
    KvSoundBank(const KvSoundBank&) = delete;
    KvSoundBank& operator=(const KvSoundBank&) = delete;

    // Makes one sound per WAV file, by key: a buffer from an available system (each made under
    // the sound lock, which the caller must not hold), or the decoded facts alone (buffer 0)
    // when system is null or unavailable. A file that does not decode leaves its key absent
    // and is named in Refused().
    void Create(SoundSystem* system, const std::map<KvString, std::vector<uint8_t>>& files);
    // Null when the key is absent; a look-up never inserts.
    KvSound* GetSound(const KvString& key) const;
    const std::vector<KvString>& Refused() const { return refused_; }
    // Deletes every buffer under the sound lock; the system must still be up (destroying the
    // bank releases it too, so the system must outlive the bank).
    void Release();

private:
    SoundSystem* system_ = nullptr;  // the system that made the buffers
    std::map<KvString, std::unique_ptr<KvSound>> sounds_;
    std::vector<KvString> refused_;
};

}  // namespace kv
