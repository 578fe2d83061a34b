#include "tests/TestFiles.h"

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
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void AppendName(Bytes& bytes, const std::string& text) {
    for (std::size_t i = 0; i < 16; ++i)
        bytes.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ');
}

void AppendRecord(Bytes& bytes, std::int32_t type, std::int32_t id, std::int32_t packed,
                  std::int32_t size, std::int32_t offset, const std::string& name16) {
    for (std::int32_t v : {type, id, packed, size, offset})
        AppendInt32(bytes, v);
    bytes.insert(bytes.end(), name16.begin(), name16.end());
}

Bytes HandMadeArchive() {
    Bytes bytes{'O', 's', 't', 'r'};
    AppendInt32(bytes, 1);
    AppendInt32(bytes, 5);
    AppendRecord(bytes, 1, 5, 8, 20, 192, "Door            ");
    AppendRecord(bytes, 2, -2, 4, 3, 200, std::string("Bell\0junk", 9) + "       ");
    AppendRecord(bytes, 3, 300, 0, 0, 204, "                ");
    AppendRecord(bytes, 7, 1000000, 4, 12345, 204, "Tab\t\xE9t\xE9         ");
    AppendRecord(bytes, -1, 0, 0, 0, 208, "ABCDEFGHIJKLMNOP");
    bytes.insert(bytes.end(), 16, 0x5A);
    return bytes;
}

namespace {

void Append16(Bytes& bytes, std::uint16_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace

Bytes MakeWave(std::size_t samples, const WaveFormat& f) {
    Bytes bytes{'R', 'I', 'F', 'F'};
    AppendInt32(bytes, static_cast<std::int32_t>(36 + samples));
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    AppendInt32(bytes, static_cast<std::int32_t>(f.formatSize));
    Append16(bytes, f.format);
    Append16(bytes, f.channels);
    AppendInt32(bytes, static_cast<std::int32_t>(f.rate));
    AppendInt32(bytes, static_cast<std::int32_t>(f.rate));
    Append16(bytes, 1);
    Append16(bytes, f.bits);
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
