#include "sound/SoundBank.h"

namespace kv {

namespace {

// Holds the sound lock: the main loop calls into the sound library under it.
class SoundLockHold {
public:
    explicit SoundLockHold(SoundSystem& sound) : sound_(sound) { sound_.Lock(); }
    ~SoundLockHold() { sound_.Unlock(); }
    SoundLockHold(const SoundLockHold&) = delete;
    SoundLockHold& operator=(const SoundLockHold&) = delete;

private:
    SoundSystem& sound_;
};

// A sound that keeps only what decoding tells about it, for a game without a sound device.
std::unique_ptr<KvSound> FactsOnly(const std::vector<uint8_t>& file) {
    std::optional<PcmSound> pcm = DecodeWav(file.data(), file.size());
    if (!pcm) return nullptr;
    auto sound = std::make_unique<KvSound>();
    sound->sampleRate = pcm->sampleRate;
    sound->lengthMs = pcm->LengthMs();
    sound->channels = pcm->channels;
    return sound;
}

}  // namespace

KvSoundBank::~KvSoundBank() { Release(); }

void KvSoundBank::Create(SoundSystem* system, const std::map<KvString, std::vector<uint8_t>>& files) {
    Release();
    system_ = system && system->IsAvailable() ? system : nullptr;
    for (const auto& [key, file] : files) {
        std::unique_ptr<KvSound> sound;
        if (system_) {
            SoundLockHold hold(*system_);
            sound = system_->CreateSound(file.data(), file.size());
        } else {
            sound = FactsOnly(file);
        }
        if (sound) {
            sounds_[key] = std::move(sound);
        } else {
            refused_.push_back(key);
        }
    }
}

KvSound* KvSoundBank::GetSound(const KvString& key) const {
    auto it = sounds_.find(key);
    return it == sounds_.end() ? nullptr : it->second.get();
}

void KvSoundBank::Release() {
    if (system_ && !sounds_.empty()) {
        SoundLockHold hold(*system_);
        for (auto& [key, sound] : sounds_) system_->ReleaseSound(*sound);
    }
    sounds_.clear();
    refused_.clear();
    system_ = nullptr;
}

}  // namespace kv
