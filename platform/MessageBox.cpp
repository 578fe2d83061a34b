#include "platform/MessageBox.h"

#include <cstdio>
#include <utility>

namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

thread_local CMessageCapture* t_pCapture = nullptr;

std::string& AppTitle() {
    static std::string title = "Ostrevane";
    return title;
}

int PrintToStderr(const std::string& text, const std::string& caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), OneLine(text).c_str());
    // Without anyone to ask, take the answer that changes nothing.
    return DefaultAnswer(style);
}

} // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        if (c != '\n')
            line += c;
        else if (!line.empty() && line.back() == ':')
            line += ' ';
        else
            line += ": ";
    }
    return line;
}

int DefaultAnswer(unsigned style) {
    switch (style & MB_BUTTONMASK) {
    case MB_YESNO:
        return IDNO;
    case MB_YESNOCANCEL:
    case MB_OKCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

int MessageBox(void* pOwner, const std::string& text, const std::string& caption, unsigned style) {
    if (t_pCapture != nullptr) {
        t_pCapture->m_messages.push_back({pOwner, text, caption, style});
        return DefaultAnswer(style);
    }
    if (Handler())
        return Handler()(pOwner, text, caption, style);
    return PrintToStderr(text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

void SetAppTitle(const std::string& title) {
    AppTitle() = title;
}

const std::string& GetAppTitle() {
    return AppTitle();
}

CMessageCapture::CMessageCapture() : m_pOuter(std::exchange(t_pCapture, this)) {}

CMessageCapture::~CMessageCapture() {
    t_pCapture = m_pOuter;
}

void ShowMessages(const std::vector<SCapturedMessage>& messages) {
    for (const SCapturedMessage& message : messages)
        MessageBox(message.pOwner, message.text, message.caption, message.style);
}
