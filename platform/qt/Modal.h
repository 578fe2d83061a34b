#pragma once

#include <functional>

class QDialog;

// Runs a dialog modally and returns its result code (QDialog::Accepted or
// Rejected). Every modal dialog of the program goes through here, so a test
// can install a hook that fills a dialog in and presses its buttons instead
// of blocking in exec().
int DoModal(QDialog& dialog);

using ModalHook = std::function<int(QDialog& dialog)>;

// Installs a hook (an empty one restores exec()); returns the previous one.
ModalHook SetModalHook(ModalHook hook);
