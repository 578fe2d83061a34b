#pragma once

#include "transfer/ContentInfo.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

// A picture drawn to fit the widget, or at a zoom the user picks (Ctrl and
// the wheel, Ctrl++ and Ctrl+-; Ctrl+0 fits again), never smoothed: pixels
// stay sharp squares. A checkerboard shows through transparent pixels.
class CPictureView : public QWidget {
    Q_OBJECT
public:
    explicit CPictureView(QWidget* pParent = nullptr);

    void SetImage(QImage image);
    // 0 while the picture fits the widget, else how many pixels of the
    // widget one of the picture's takes.
    double Zoom() const { return m_zoom; }
    void ZoomBy(int steps);
    void FitToWidget();
    QSize sizeHint() const override;

signals:
    void ZoomChanged();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    QRect TargetRect() const;
    double ShownScale() const;

    QImage m_image;
    double m_zoom = 0;
};

// A sound's waveform: per pixel column the lowest and highest level of the
// frames it covers (as SummarizeWaveform gives them), the centre line where
// there is silence, and a cursor where playing has reached.
class CWaveformView : public QWidget {
    Q_OBJECT
public:
    explicit CWaveformView(QWidget* pParent = nullptr);

    void SetLevels(const std::vector<std::uint8_t>* pLevels);
    // Where the cursor stands, 0 to 1; below 0 hides it.
    void SetCursor(double fraction);
    double Cursor() const { return m_cursor; }
    // The columns drawn at the widget's current width.
    const std::vector<WaveColumn>& Columns();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    QSize sizeHint() const override;

private:
    const std::vector<std::uint8_t>* m_pLevels = nullptr;
    std::vector<WaveColumn> m_columns;
    int m_columnsWidth = -1; // the width m_columns were made for
    double m_cursor = -1;
};
