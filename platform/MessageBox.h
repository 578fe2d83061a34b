#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Styles and answers, with the values of the desktop platform they come from.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;
inline constexpr unsigned MB_TASKMODAL = 0x2000;
inline constexpr unsigned MB_BUTTONMASK = 0xF;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// owner is an opaque window pointer (null for none); only the desktop handler
// interprets it. The handler returns the button pressed.
using MessageBoxHandler = std::function<int(void* pOwner, const std::string& text,
                                            const std::string& caption, unsigned style)>;

// Shows a message through the installed handler. Without one, prints
// "caption: text" on one line to stderr and answers IDOK, or the answer that
// changes nothing (IDNO, IDCANCEL) to a question.
int MessageBox(void* pOwner, const std::string& text, const std::string& caption,
               unsigned style = MB_OK);

// A message the editor shows on several lines, as one line for a terminal: a
// line that ends with ':' runs on after a space, any other after ": ".
std::string OneLine(const std::string& text);

// The answer that changes nothing: IDNO to a yes/no question, IDCANCEL where
// there is a Cancel button, else IDOK.
int DefaultAnswer(unsigned style);

// Installs a handler (an empty one restores the default); returns the previous.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The caption of the framework's own messages (files that cannot be opened
// or saved): the program's name.
void SetAppTitle(const std::string& title);
const std::string& GetAppTitle();

// A message kept by a capture instead of being shown.
struct SCapturedMessage {
    void* pOwner;
    std::string text;
    std::string caption;
    unsigned style;
};

// While one lives, messages on the thread that made it are kept instead of
// shown, and answered with DefaultAnswer: work done on another thread can
// have its messages shown later, in the order the work would have shown them.
// Captures nest; the innermost keeps.
class CMessageCapture {
public:
    CMessageCapture();
    ~CMessageCapture();
    CMessageCapture(const CMessageCapture&) = delete;
    CMessageCapture& operator=(const CMessageCapture&) = delete;

    // The messages kept so far, oldest first; the capture keeps none after.
    std::vector<SCapturedMessage> Take() { return std::exchange(m_messages, {}); }

private:
    friend int MessageBox(void*, const std::string&, const std::string&, unsigned);
    CMessageCapture* m_pOuter;
    std::vector<SCapturedMessage> m_messages;
};

// Shows kept messages, in order, on the calling thread.
void ShowMessages(const std::vector<SCapturedMessage>& messages);
