// The sound output on ALSA's default device, fed from a thread of its own:
// opening a device can take long or hang on a busy one, and feeding it
// waits on it, neither of which the caller may feel.

#include "platform/SoundOutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// How long the thread waits on the device at a time, in ms: a stop is
// heard within that.
constexpr int WAIT_MS = 20;
// The device's buffer, in µs: short, so that Stop is heard at once.
constexpr unsigned LATENCY_US = 100000;

// ALSA prints its own complaints (no card, no configuration) on stderr;
// here they only mean no sound.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_format_t FormatOf(std::uint32_t bitsPerSample) {
    switch (bitsPerSample) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return SND_PCM_FORMAT_S24_3LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

class CAlsaSoundOutput : public ISoundOutput {
public:
    CAlsaSoundOutput() : m_thread([this] { Run(); }) {}

    ~CAlsaSoundOutput() override {
        {
            const std::lock_guard lock(m_mutex);
            m_bQuit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    bool IsAvailable() const override { return m_bAvailable; }

    void Play(std::shared_ptr<const std::vector<std::uint8_t>> samples,
              SPcmFormat format) override {
        {
            const std::lock_guard lock(m_mutex);
            m_pending = std::move(samples);
            m_pendingFormat = format;
            m_bHasPending = true;
            ++m_request;
        }
        m_frames = 0;
        m_bPlaying = true;
        m_wake.notify_one();
    }

    void Stop() override {
        {
            const std::lock_guard lock(m_mutex);
            m_pending.reset();
            m_bHasPending = false;
            ++m_request;
        }
        m_bPlaying = false;
        m_wake.notify_one();
    }

    bool IsPlaying() const override { return m_bPlaying; }
    std::uint64_t PlayedFrames() const override { return m_frames; }

private:
    void Run() {
        snd_lib_error_set_handler(IgnoreAlsaError);
        snd_pcm_t* pPcm = nullptr;
        if (snd_pcm_open(&pPcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
            m_bAvailable = false;
        else
            snd_pcm_close(pPcm);
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bQuit || m_bHasPending; });
            if (m_bQuit) {
                // The configuration ALSA keeps for the process, which a leak
                // check would otherwise report.
                snd_config_update_free_global();
                return;
            }
            auto samples = std::move(m_pending);
            const SPcmFormat format = m_pendingFormat;
            const std::uint64_t request = m_request;
            m_bHasPending = false;
            lock.unlock();
            if (samples)
                PlayOne(*samples, format, request);
            if (Current(request))
                m_bPlaying = false;
        }
    }

    // Whether request is still the newest one (no Stop, Play or quit since).
    bool Current(std::uint64_t request) {
        const std::lock_guard lock(m_mutex);
        return request == m_request && !m_bQuit;
    }

    void PlayOne(const std::vector<std::uint8_t>& samples, SPcmFormat format,
                 std::uint64_t request) {
        const snd_pcm_format_t pcmFormat = FormatOf(format.bitsPerSample);
        const std::uint32_t frameBytes = format.FrameBytes();
        snd_pcm_t* pPcm = nullptr;
        if (pcmFormat == SND_PCM_FORMAT_UNKNOWN || frameBytes == 0 ||
            snd_pcm_open(&pPcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
            m_bAvailable = false;
            return;
        }
        if (snd_pcm_set_params(pPcm, pcmFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.channels,
                               format.sampleRate, 1, LATENCY_US) < 0) {
            snd_pcm_close(pPcm);
            return;
        }
        Feed(pPcm, samples, frameBytes, request);
        snd_pcm_drop(pPcm);
        snd_pcm_close(pPcm);
    }

    // Writes every frame, then waits for the device to play them out,
    // stopping as soon as the request is no longer the newest.
    void Feed(snd_pcm_t* pPcm, const std::vector<std::uint8_t>& samples, std::uint32_t frameBytes,
              std::uint64_t request) {
        const std::uint64_t total = samples.size() / frameBytes;
        std::uint64_t written = 0;
        while (Current(request)) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(pPcm, &delay) < 0 || delay < 0)
                delay = 0;
            const auto queued = static_cast<std::uint64_t>(delay);
            m_frames = written > queued ? written - queued : 0;
            if (written == total) {
                if (queued == 0)
                    return;
                snd_pcm_wait(pPcm, WAIT_MS);
                continue;
            }
            const snd_pcm_sframes_t n =
                snd_pcm_writei(pPcm, samples.data() + written * frameBytes, total - written);
            if (n == -EAGAIN)
                snd_pcm_wait(pPcm, WAIT_MS);
            else if (n < 0 && snd_pcm_recover(pPcm, static_cast<int>(n), 1) < 0)
                return;
            else if (n > 0)
                written += static_cast<std::uint64_t>(n);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<const std::vector<std::uint8_t>> m_pending;
    SPcmFormat m_pendingFormat;
    bool m_bHasPending = false;
    bool m_bQuit = false;
    std::uint64_t m_request = 0; // counts Play and Stop calls
    std::atomic<bool> m_bAvailable{true};
    std::atomic<bool> m_bPlaying{false};
    std::atomic<std::uint64_t> m_frames{0};
    std::thread m_thread; // last: starts once the rest is made
};

} // namespace

std::unique_ptr<ISoundOutput> MakeAlsaSoundOutput() {
    return std::make_unique<CAlsaSoundOutput>();
}
