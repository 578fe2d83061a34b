#include "ui/EntryListPane.h"

#include "ui/EntryTableModel.h"
#include "ui/OstrevaneView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

CEntryListPane::CEntryListPane(QWidget* pParent)
    : QWidget(pParent), m_pFilter(new QLineEdit(this)), m_pView(new COstrevaneView(this)) {
    m_pFilter->setObjectName("filter");
    m_pFilter->setPlaceholderText("Filter by ID, name or type (Ctrl+F)");
    m_pFilter->setClearButtonEnabled(true);
    m_pFilter->installEventFilter(this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(2);
    pLayout->addWidget(m_pFilter);
    pLayout->addWidget(m_pView);
    setFocusProxy(m_pView);
    connect(m_pFilter, &QLineEdit::textChanged, m_pView, &COstrevaneView::SetFilter);
}

void CEntryListPane::FocusFilter() {
    m_pFilter->setFocus(Qt::ShortcutFocusReason);
    m_pFilter->selectAll();
}

bool CEntryListPane::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pFilter && pEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(pEvent)->key();
        if (key == Qt::Key_Escape && !m_pFilter->text().isEmpty()) {
            m_pFilter->clear();
            return true;
        }
        if (key == Qt::Key_Down) {
            m_pView->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}
