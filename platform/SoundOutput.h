#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// How PCM samples are laid out: interleaved frames of channels samples of
// bitsPerSample bits (8: unsigned; 16, 24, 32: signed little-endian).
struct SPcmFormat {
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;
    std::uint32_t bitsPerSample = 0;

    std::uint32_t FrameBytes() const { return channels * ((bitsPerSample + 7) / 8); }
};

// Plays sounds on the sound device without the caller ever waiting on it:
// the device is opened, fed and closed by the output's own thread, so every
// call here returns at once. One sound plays at a time; a new one stops the
// last.
class ISoundOutput {
public:
    virtual ~ISoundOutput() = default;

    // False once it is known that no device can play (none found, or it
    // refused the last sound); true while it is not known yet.
    virtual bool IsAvailable() const = 0;
    // Plays frames of samples from the start. samples stays alive while it
    // plays.
    virtual void Play(std::shared_ptr<const std::vector<std::uint8_t>> samples,
                      SPcmFormat format) = 0;
    virtual void Stop() = 0;
    // Whether the last sound is still playing, and how many of its frames
    // the device has played.
    virtual bool IsPlaying() const = 0;
    virtual std::uint64_t PlayedFrames() const = 0;
};

// The default ALSA device ("default", served by PipeWire and PulseAudio
// alike); its availability is found out on its own thread at once.
std::unique_ptr<ISoundOutput> MakeAlsaSoundOutput();

// Plays nothing, at once: records each sound it is given, and holds it as
// playing until Stop() or Finish(). For tests, and where there is no sound.
class CSilentSoundOutput : public ISoundOutput {
public:
    explicit CSilentSoundOutput(bool bAvailable = true) : m_bAvailable(bAvailable) {}

    bool IsAvailable() const override { return m_bAvailable; }
    void Play(std::shared_ptr<const std::vector<std::uint8_t>> samples,
              SPcmFormat format) override {
        m_played.push_back({std::move(samples), format});
        m_bPlaying = true;
        m_frames = 0;
    }
    void Stop() override { m_bPlaying = false; }
    bool IsPlaying() const override { return m_bPlaying; }
    std::uint64_t PlayedFrames() const override { return m_frames; }

    // As if the device had played frames of the sound, or all of it.
    void Advance(std::uint64_t frames) { m_frames += frames; }
    void Finish() { m_bPlaying = false; }

    struct SPlayed {
        std::shared_ptr<const std::vector<std::uint8_t>> samples;
        SPcmFormat format;
    };
    const std::vector<SPlayed>& Played() const { return m_played; }

private:
    bool m_bAvailable;
    bool m_bPlaying = false;
    std::uint64_t m_frames = 0;
    std::vector<SPlayed> m_played;
};
