#include "platform/qt/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon IconOf(unsigned style) {
    switch (style & MB_ICONMASK) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct SButton {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<SButton> ButtonsOf(unsigned style) {
    switch (style & MB_BUTTONMASK) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNOCANCEL:
        return {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

// The answer Escape and the close box give: Cancel where there is one, No
// for a plain question, OK for a notice.
int EscapeAnswer(const std::vector<SButton>& buttons) {
    return buttons.size() == 2 && buttons[1].answer == IDNO ? IDNO : buttons.back().answer;
}

} // namespace

int ShowQtMessageBox(void* pOwner, const std::string& text, const std::string& caption,
                     unsigned style) {
    auto* pParent = static_cast<QWidget*>(pOwner);
    if (pParent == nullptr)
        pParent = QApplication::activeWindow();
    QMessageBox box(IconOf(style), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, pParent);
    box.setTextFormat(Qt::PlainText);
    const std::vector<SButton> buttons = ButtonsOf(style);
    for (const SButton& b : buttons)
        box.addButton(b.button);
    box.setDefaultButton(buttons.front().button);
    // A busy cursor set around long work must not cover the question.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
    for (const SButton& b : buttons)
        if (box.clickedButton() == box.button(b.button))
            return b.answer;
    return EscapeAnswer(buttons);
}

void InstallQtMessageBox() {
    SetMessageBoxHandler(ShowQtMessageBox);
}
