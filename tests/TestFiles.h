#pragma once

#include "platform/MessageBox.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    // Names of everything in the folder, sorted.
    std::vector<std::string> Listing() const;

private:
    std::filesystem::path m_path;
};

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

// Little-endian 32-bit value appended to bytes.
void AppendInt32(Bytes& bytes, std::int32_t value);

// The fields of a wave header that sounds are tested on.
struct WaveFormat {
    std::uint32_t formatSize = 16;
    std::uint16_t format = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 11025;
    std::uint16_t bits = 8;
};

// A wave file with the 44-byte header and that many samples.
Bytes MakeWave(std::size_t samples, const WaveFormat& format = {});

// One message box call as the program made it.
struct RecordedMessage {
    void* pOwner;
    std::string text;
    std::string caption;
    unsigned style;
};

// Installs itself as the message box handler for its lifetime: records every
// message and answers from a script (then with the answer that changes
// nothing, DefaultAnswer()).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void Answer(int answer) { m_answers.push_back(answer); }
    const std::vector<RecordedMessage>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<RecordedMessage> m_messages;
    std::deque<int> m_answers;
    MessageBoxHandler m_previous;
};
