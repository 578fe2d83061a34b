#pragma once

#include "platform/MessageBox.h"

class QWidget;

// Shows MessageBox() calls as QMessageBox dialogs: the caption is the window
// title, the buttons and icon come from the style, and the owner, when given,
// is the QWidget the box is centred on and modal to.
int ShowQtMessageBox(void* pOwner, const std::string& text, const std::string& caption,
                     unsigned style);

// Makes ShowQtMessageBox the process's message box handler.
void InstallQtMessageBox();

// The opaque owner MessageBox() takes, for a widget.
inline void* OwnerOf(QWidget* pWidget) {
    return pWidget;
}
