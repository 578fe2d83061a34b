// The preview pane, driven offscreen with real entries: pictures, sounds
// (played into a silent sink that records them), bytes, damage and size
// said in the pane, and the work done off the UI thread.

#include "platform/SoundOutput.h"
#include "tests/ShellFixture.h"
#include "transfer/DeltaCoding.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/PreviewPane.h"
#include "ui/PreviewViews.h"
#include "ui/Resource.h"

#include <QPushButton>
#include <QTest>

namespace {

// A 24-bit bitmap of width x height pixels (the header alone when bHeaderOnly).
Bytes Bitmap(std::int32_t width, std::int32_t height, bool bHeaderOnly = false) {
    const std::int32_t row = (width * 3 + 3) / 4 * 4;
    const std::int32_t pixels = bHeaderOnly ? 0 : row * (height < 0 ? -height : height);
    Bytes bmp{'B', 'M'};
    AppendInt32(bmp, 54 + pixels);
    AppendInt32(bmp, 0);
    AppendInt32(bmp, 54);
    AppendInt32(bmp, 40);
    AppendInt32(bmp, width);
    AppendInt32(bmp, height);
    AppendInt32(bmp, 1 | 24 << 16);
    for (int i = 0; i < 6; ++i)
        AppendInt32(bmp, 0);
    bmp.resize(bmp.size() + static_cast<std::size_t>(pixels), 0x40);
    return bmp;
}

Bytes DeltaCoded(Bytes bytes) {
    CDeltaEncoder().Encode(bytes.data(), bytes.size());
    return bytes;
}

class PreviewTest : public ShellTest {
protected:
    // Rows in ID order: 1 a picture, 2 a sound, 3 bytes, 4 damaged data, 5 a
    // picture too large to show, 6 a wave stored as a background.
    void SetUp() override {
        ASSERT_TRUE(Start(
            {WriteArchive("preview.dat", ArchiveBuilder()
                                             .Packed(1, 1, "Face", Bitmap(4, -3))
                                             .Packed(2, 2, "Chime", DeltaCoded(MakeWave(11025)))
                                             .Packed(0, 3, "Notes", Bytes(70000, 'n'))
                                             .Entry(0, 4, "Bad", {1, 2, 3, 4}, 100)
                                             .Packed(3, 5, "Huge", Bitmap(100000, 100000, true))
                                             .Packed(3, 6, "Wave", MakeWave(2205))
                                             .Build())}));
    }

    CPreviewPane& Pane() { return *App().Preview(); }

    // Selects row and waits for its preview.
    void ShowRow(int row) {
        SelectRow(row);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !Pane().IsBusy(); }, 5000));
    }
};

TEST_F(PreviewTest, EachKindOfContentShowsAsWhatItIs) {
    const struct {
        int row;
        SPreview::EKind kind;
        QString caption;
    } rows[] = {
        {0, SPreview::EKind::Picture, "4 x 3, 24 bits per pixel"},
        {1, SPreview::EKind::Sound, "0:01.000"},
        {2, SPreview::EKind::Hex, "Showing the first 65,536 of 70,000 bytes"},
        {3, SPreview::EKind::Message, "That entry's data is damaged"},
        {4, SPreview::EKind::Message, "That picture is too large to show"},
        {5, SPreview::EKind::Sound, "0:00.200"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        ShowRow(row.row);
        ASSERT_NE(Pane().Shown(), nullptr);
        EXPECT_EQ(Pane().Shown()->kind, row.kind);
        EXPECT_EQ(Pane().Caption(), row.caption);
    }
    EXPECT_EQ(Pane().Shown()->levels.size(), 2205u);
    ShowRow(2);
    EXPECT_EQ(Pane().Shown()->hexLines.size(), 4096);
    ShowRow(0);
    EXPECT_EQ(Pane().Shown()->image.size(), QSize(4, 3));
    EXPECT_TRUE(m_messages.Messages().empty()); // never a message box, never "NotImplemented"
}

TEST_F(PreviewTest, SoundsPlayAndStopWithTheSelection) {
    ShowRow(1);
    EXPECT_TRUE(Pane().PlayButton()->isEnabled());
    QTest::keyClick(&View(), Qt::Key_Space);
    ASSERT_EQ(m_silence.Played().size(), 1u);
    EXPECT_EQ(m_silence.Played()[0].samples->size(), 11025u);
    EXPECT_EQ(m_silence.Played()[0].format.sampleRate, 11025u);
    EXPECT_EQ(Pane().PlayButton()->text(), "Stop");
    m_silence.Advance(5512);
    QTest::qWait(80);
    EXPECT_NEAR(Pane().WaveformView()->Cursor(), 0.5, 0.01);
    Pane().PlayButton()->click();
    EXPECT_FALSE(m_silence.IsPlaying());
    Pane().PlayButton()->click();
    ShowRow(0); // another entry stops it
    EXPECT_FALSE(m_silence.IsPlaying());
    EXPECT_EQ(m_silence.Played().size(), 2u);
}

TEST_F(PreviewTest, WithoutADevicePlayIsDisabledAndSaysWhy) {
    CSilentSoundOutput none(false);
    Pane().SetSoundOutputFactory([&none] { return &none; });
    ShowRow(1);
    EXPECT_FALSE(Pane().PlayButton()->isEnabled());
    EXPECT_EQ(Pane().PlayButton()->toolTip(), "No sound output is available");
    QTest::keyClick(&View(), Qt::Key_Space);
    EXPECT_TRUE(none.Played().empty());
    Pane().SetSoundOutputFactory([this] { return &m_silence; }); // none goes first
}

// Running down the rows keeps at most one job waiting; the last row's
// preview is the one shown, and going back to a row seen is instant.
TEST_F(PreviewTest, QuickSelectionsShowTheLastAndRowsSeenComeBackAtOnce) {
    for (int round = 0; round < 3; ++round)
        for (int row = 0; row < 6; ++row)
            SelectRow(row);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Pane().IsBusy(); }, 5000));
    EXPECT_EQ(Pane().Caption(), "0:00.200");
    ShowRow(0);
    ShowRow(2);
    SelectRow(0);
    EXPECT_FALSE(Pane().IsBusy());
    EXPECT_EQ(Pane().Caption(), "4 x 3, 24 bits per pixel");
    // A new archive drops every preview kept, and the data they held.
    m_messages.Answer(IDNO);
    App().Commands().Execute(ID_FILE_NEW);
    EXPECT_EQ(Pane().Shown(), nullptr);
    EXPECT_FALSE(Pane().IsBusy());
    // The pane can be hidden and shown from the View menu.
    App().Commands().Execute(ID_VIEW_PREVIEW);
    EXPECT_TRUE(Pane().isHidden());
    App().Commands().Execute(ID_VIEW_PREVIEW);
    EXPECT_FALSE(Pane().isHidden());
}

TEST_F(PreviewTest, PicturesZoomWithoutSmoothing) {
    Frame().show();
    ShowRow(0);
    CPictureView& view = *Pane().PictureView();
    EXPECT_EQ(view.Zoom(), 0);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_GT(view.Zoom(), 1);
    const double zoomed = view.Zoom();
    QTest::keyClick(&view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), zoomed / 2);
    QTest::keyClick(&view, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 0);
}

} // namespace
