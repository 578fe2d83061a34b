#pragma once

#include <QWidget>

class COstrevaneView;
class QLineEdit;

// The entry list with a filter field above it. Typing in the field shows
// only the rows whose ID, name or type holds the text; the document and its
// order stay as they are. Esc in the field clears it, and Down moves to the
// list.
class CEntryListPane : public QWidget {
    Q_OBJECT
public:
    explicit CEntryListPane(QWidget* pParent = nullptr);

    COstrevaneView* View() const { return m_pView; }
    QLineEdit* Filter() const { return m_pFilter; }
    // Puts the keyboard in the field with its text selected (Ctrl+F).
    void FocusFilter();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QLineEdit* m_pFilter;
    COstrevaneView* m_pView;
};
