#include "platform/qt/Modal.h"

#include "platform/qt/DataExchange.h"

#include <QDialog>

#include <utility>

namespace {

ModalHook& Hook() {
    static ModalHook hook;
    return hook;
}

} // namespace

int DoModal(QDialog& dialog) {
    if (auto* pDialog = qobject_cast<CDialog*>(&dialog))
        pDialog->InitDialog();
    if (Hook())
        return Hook()(dialog);
    return dialog.exec();
}

ModalHook SetModalHook(ModalHook hook) {
    return std::exchange(Hook(), std::move(hook));
}
