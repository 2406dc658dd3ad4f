#include "sound/SoundBank.h"

namespace kv {

namespace {

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
    if (system_) {
        for (auto& [key, sound] : sounds_) system_->ReleaseSound(*sound);
    }
    sounds_.clear();
    refused_.clear();
    system_ = nullptr;
}

}  // namespace kv
