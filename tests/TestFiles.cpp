#include "tests/TestFiles.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostr-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(m_path, error);
}

std::vector<std::string> TempDir::Listing() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(m_path))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void AppendInt32(Bytes& bytes, std::int32_t value) {
    AppendLittleEndian32(bytes, static_cast<std::uint32_t>(value));
}

Bytes MakeWave(std::size_t samples, const WaveFormat& f) {
    Bytes bytes{'R', 'I', 'F', 'F'};
    AppendInt32(bytes, static_cast<std::int32_t>(36 + samples));
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    AppendInt32(bytes, static_cast<std::int32_t>(f.formatSize));
    AppendLittleEndian16(bytes, f.format);
    AppendLittleEndian16(bytes, f.channels);
    AppendInt32(bytes, static_cast<std::int32_t>(f.rate));
    AppendInt32(bytes, static_cast<std::int32_t>(f.rate));
    AppendLittleEndian16(bytes, 1);
    AppendLittleEndian16(bytes, f.bits);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    AppendInt32(bytes, static_cast<std::int32_t>(samples));
    for (std::size_t i = 0; i < samples; ++i)
        bytes.push_back(static_cast<std::uint8_t>(128 + (i * 37 % 91) - 45));
    return bytes;
}

MessageRecorder::MessageRecorder() {
    m_previous = SetMessageBoxHandler(
        [this](void* pOwner, const std::string& text, const std::string& caption, unsigned style) {
            m_messages.push_back({pOwner, text, caption, style});
            if (!m_answers.empty()) {
                const int answer = m_answers.front();
                m_answers.pop_front();
                return answer;
            }
            return DefaultAnswer(style);
        });
}

MessageRecorder::~MessageRecorder() {
    SetMessageBoxHandler(m_previous);
}
