#include "ui/PreviewViews.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MIN_ZOOM = 0.125;
constexpr double MAX_ZOOM = 64;
constexpr int CHECKER = 8; // a checkerboard square's side, in pixels

void PaintCheckerboard(QPainter& painter, const QRect& rect) {
    painter.fillRect(rect, QColor(0xCC, 0xCC, 0xCC));
    for (int y = rect.top(); y <= rect.bottom(); y += CHECKER)
        for (int x = rect.left() + ((y - rect.top()) / CHECKER % 2) * CHECKER; x <= rect.right();
             x += 2 * CHECKER)
            painter.fillRect(QRect(x, y, CHECKER, CHECKER).intersected(rect), Qt::white);
}

} // namespace

CPictureView::CPictureView(QWidget* pParent) : QWidget(pParent) {
    setFocusPolicy(Qt::StrongFocus);
}

void CPictureView::SetImage(QImage image) {
    m_image = std::move(image);
    m_zoom = 0;
    updateGeometry();
    update();
}

double CPictureView::ShownScale() const {
    if (m_zoom > 0 || m_image.isNull())
        return m_zoom > 0 ? m_zoom : 1;
    return std::min(static_cast<double>(width()) / m_image.width(),
                    static_cast<double>(height()) / m_image.height());
}

void CPictureView::ZoomBy(int steps) {
    if (m_image.isNull())
        return;
    const double zoom = ShownScale() * std::pow(2.0, steps);
    m_zoom = std::clamp(zoom, MIN_ZOOM, MAX_ZOOM);
    updateGeometry();
    update();
    emit ZoomChanged();
}

void CPictureView::FitToWidget() {
    m_zoom = 0;
    updateGeometry();
    update();
    emit ZoomChanged();
}

QRect CPictureView::TargetRect() const {
    const double scale = ShownScale();
    const QSize size(std::max(1, static_cast<int>(m_image.width() * scale)),
                     std::max(1, static_cast<int>(m_image.height() * scale)));
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QSize CPictureView::sizeHint() const {
    return m_zoom > 0 ? TargetRect().size() : QSize(200, 150);
}

void CPictureView::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    const QRect target = TargetRect();
    if (m_image.hasAlphaChannel())
        PaintCheckerboard(painter, target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, m_image);
}

void CPictureView::wheelEvent(QWheelEvent* pEvent) {
    if (!(pEvent->modifiers() & Qt::ControlModifier)) {
        QWidget::wheelEvent(pEvent);
        return;
    }
    ZoomBy(pEvent->angleDelta().y() > 0 ? 1 : -1);
    pEvent->accept();
}

void CPictureView::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->modifiers() & Qt::ControlModifier) {
        switch (pEvent->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomBy(1);
            return;
        case Qt::Key_Minus:
            ZoomBy(-1);
            return;
        case Qt::Key_0:
            FitToWidget();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(pEvent);
}

CWaveformView::CWaveformView(QWidget* pParent) : QWidget(pParent) {
    setMinimumHeight(60);
}

void CWaveformView::SetLevels(const std::vector<std::uint8_t>* pLevels) {
    m_pLevels = pLevels;
    m_columnsWidth = -1;
    m_cursor = -1;
    update();
}

void CWaveformView::SetCursor(double fraction) {
    m_cursor = fraction;
    update();
}

const std::vector<WaveColumn>& CWaveformView::Columns() {
    if (m_columnsWidth != width()) {
        m_columns = m_pLevels ? SummarizeWaveform(*m_pLevels, static_cast<std::uint32_t>(width()))
                              : std::vector<WaveColumn>();
        m_columnsWidth = width();
    }
    return m_columns;
}

QSize CWaveformView::sizeHint() const {
    return QSize(300, 120);
}

// Level 128 is silence, on the centre line; 0 and 255 reach the edges.
void CWaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const double half = (height() - 1) / 2.0;
    const auto y = [half](int level) {
        return static_cast<int>(half - (level - 128) * half / 128);
    };
    painter.setPen(palette().mid().color());
    painter.drawLine(0, y(128), width(), y(128));
    painter.setPen(palette().highlight().color());
    const std::vector<WaveColumn>& columns = Columns();
    for (std::size_t x = 0; x < columns.size(); ++x)
        painter.drawLine(static_cast<int>(x), y(columns[x].second), static_cast<int>(x),
                         y(columns[x].first));
    if (m_cursor >= 0) {
        painter.setPen(palette().text().color());
        const int x = static_cast<int>(m_cursor * (width() - 1));
        painter.drawLine(x, 0, x, height());
    }
}
