#include "ui/PreviewJob.h"

#include "archive/FileEntry.h"
#include "transfer/ExportPipeline.h"

#include <QBuffer>
#include <QImageReader>
#include <QLocale>

#include <algorithm>

namespace {

SPreview Message(const char* text) {
    SPreview preview;
    preview.message = text;
    return preview;
}

const char* FailureText(UnpackStatus status) {
    return status == UnpackStatus::OutOfMemory ? "There is not enough memory to unpack that entry"
                                               : "That entry's data is damaged";
}

// Qt's reader, held to what our own look at the header allows, so that a
// header that claims a huge picture allocates nothing. A bitmap Qt cannot
// read (a compression it lacks) leaves a null image.
QImage ReadPicture(const ByteBuffer& content) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(content.data()),
                                                     static_cast<qsizetype>(content.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setAllocationLimit(static_cast<int>(PICTURE_BYTES_LIMIT >> 20));
    return reader.read();
}

// One level per frame for the waveform: the first channel's sample as an
// unsigned 8-bit value (16 bits and more: the top byte, made unsigned).
std::vector<std::uint8_t> LevelsOf(const std::uint8_t* pSamples, std::size_t bytes,
                                   const SPcmFormat& format) {
    const std::uint32_t frameBytes = format.FrameBytes();
    std::vector<std::uint8_t> levels;
    if (frameBytes == 0)
        return levels;
    const std::size_t frames = bytes / frameBytes;
    if (format.bitsPerSample == 8 && format.channels == 1)
        return std::vector<std::uint8_t>(pSamples, pSamples + frames);
    const std::uint32_t sampleBytes = (format.bitsPerSample + 7) / 8;
    levels.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint8_t top = pSamples[i * frameBytes + sampleBytes - 1];
        levels[i] = sampleBytes == 1 ? top : static_cast<std::uint8_t>(top ^ 0x80);
    }
    return levels;
}

SPreview SoundPreview(const ByteBuffer& content, const SContentInfo& info) {
    SPreview preview;
    preview.kind = SPreview::EKind::Sound;
    preview.info = info;
    preview.format = {info.sound.sampleRate, info.sound.channels, info.sound.bitsPerSample};
    const std::uint8_t* pSamples = content.data() + info.sound.dataOffset;
    preview.samples = std::make_shared<const std::vector<std::uint8_t>>(
        pSamples, pSamples + info.sound.dataBytes);
    preview.levels = LevelsOf(pSamples, info.sound.dataBytes, preview.format);
    return preview;
}

SPreview HexPreview(const ByteBuffer& content, const SContentInfo& info) {
    SPreview preview;
    preview.kind = SPreview::EKind::Hex;
    preview.info = info;
    const std::size_t shown = std::min<std::size_t>(content.size(), HEX_BYTES);
    for (std::size_t at = 0; at < shown; at += 16) {
        const std::size_t n = std::min<std::size_t>(16, shown - at);
        preview.hexLines << QString::fromLatin1(
            HexLine(std::span(content.data() + at, n), at).c_str());
    }
    return preview;
}

} // namespace

std::uint64_t SPreview::Bytes() const {
    std::uint64_t bytes = static_cast<std::uint64_t>(image.sizeInBytes()) + levels.size();
    if (samples)
        bytes += samples->size();
    for (const QString& line : hexLines)
        bytes += static_cast<std::uint64_t>(line.size()) * 2 + 32;
    return bytes + 256;
}

SPreview MakePreview(const SPreviewRequest& request, const std::function<bool()>& stillWanted) {
    CFileEntry entry;
    entry.m_type = request.type;
    entry.m_size = request.size;
    entry.m_data = request.data;
    ByteBuffer content;
    const UnpackStatus status = UnpackContent(
        entry, content, [&stillWanted](std::uint64_t, std::uint64_t) { return stillWanted(); });
    if (status != UnpackStatus::Ok)
        return Message(FailureText(status));
    const SContentInfo info = ClassifyContent(std::span(content.data(), content.size()));
    if (info.kind == ContentKind::Picture) {
        const std::uint64_t pixels = std::uint64_t{info.picture.width} * info.picture.height;
        if (pixels * 4 > PICTURE_BYTES_LIMIT)
            return Message("That picture is too large to show");
        SPreview preview;
        preview.image = ReadPicture(content);
        if (!preview.image.isNull()) {
            preview.kind = SPreview::EKind::Picture;
            preview.info = info;
            return preview;
        }
    }
    if (info.kind == ContentKind::Sound && info.sound.channels > 0)
        return SoundPreview(content, info);
    return HexPreview(content, info);
}

QString HexNote(std::uint64_t size) {
    if (size <= HEX_BYTES)
        return {};
    const QLocale english(QLocale::English);
    return QString("Showing the first %1 of %2 bytes")
        .arg(english.toString(static_cast<qulonglong>(HEX_BYTES)))
        .arg(english.toString(static_cast<qulonglong>(size)));
}
