#pragma once

#include "archive/PackedData.h"
#include "platform/SoundOutput.h"
#include "transfer/ContentInfo.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// What the preview job needs of an entry: a copy, since the entry may go
// while the job runs (its packed data is shared, not copied).
struct SPreviewRequest {
    std::int32_t type = 0;
    std::int32_t size = 0;
    PackedData data;

    bool IsSameEntryAs(const SPreviewRequest& other) const {
        return type == other.type && size == other.size && data.data() == other.data.data() &&
               data.size() == other.data.size();
    }
};

// What the preview pane shows for one entry. Made off the UI thread; QImage
// may be, QPixmap may not.
struct SPreview {
    enum class EKind { Picture, Sound, Hex, Message };
    EKind kind = EKind::Message;
    SContentInfo info;
    QString message;   // Message: why there is nothing to show
    QImage image;      // Picture
    SPcmFormat format; // Sound: how its samples are laid out
    std::shared_ptr<const std::vector<std::uint8_t>> samples; // Sound: the raw samples
    std::vector<std::uint8_t> levels; // Sound: one 8-bit level per frame, to draw
    QStringList hexLines;             // Hex: of the first HEX_BYTES bytes
    // About how much memory it holds, for the cache.
    std::uint64_t Bytes() const;
};

// The hex view shows at most this many bytes.
inline constexpr std::uint64_t HEX_BYTES = 65536;
// A picture whose pixels would take more than this is not shown.
inline constexpr std::uint64_t PICTURE_BYTES_LIMIT = std::uint64_t{64} << 20;

// Unpacks the entry's content and makes its preview. stillWanted is asked
// while it unpacks; once it says no, the work stops and the result is not
// used.
SPreview MakePreview(const SPreviewRequest& request, const std::function<bool()>& stillWanted);

// "Showing the first 65,536 of 1,048,576 bytes", or empty when all show.
QString HexNote(std::uint64_t size);
