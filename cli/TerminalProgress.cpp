#include "cli/TerminalProgress.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr double SHOW_AFTER = 0.5; // seconds
constexpr double REDRAW_EVERY = 0.1;
// Back to the line's start, then erase it.
const char* const ERASE = "\r\033[K";

bool g_bWanted = true;
CTerminalProgress* g_pCurrent = nullptr;

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void WriteStderr(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

CTerminalProgress::CTerminalProgress(const char* verb, std::uint64_t total)
    : CTerminalProgress(verb, total, g_bWanted && isatty(STDERR_FILENO) == 1, WriteStderr, Now) {}

CTerminalProgress::CTerminalProgress(const char* verb, std::uint64_t total, bool bShow, SinkFn sink,
                                     ClockFn clock)
    : m_verb(verb), m_total(total), m_bShow(bShow), m_start(clock()), m_sink(std::move(sink)),
      m_clock(std::move(clock)) {
    g_pCurrent = this;
}

CTerminalProgress::~CTerminalProgress() {
    Clear();
    if (g_pCurrent == this)
        g_pCurrent = nullptr;
}

void CTerminalProgress::SetWanted(bool bWanted) {
    g_bWanted = bWanted;
}

void CTerminalProgress::Advance(std::uint64_t bytes) {
    ++m_done;
    m_bytes += bytes;
    if (!m_bShow)
        return;
    const double now = m_clock();
    if (now - m_start >= SHOW_AFTER && (!m_bShown || now - m_lastDraw >= REDRAW_EVERY))
        Draw(now);
}

void CTerminalProgress::Draw(double now) {
    const double seconds = now - m_start;
    char line[160];
    std::snprintf(line, sizeof line, "%s%s: %llu of %llu entries, %.1f MB/s", ERASE, m_verb.c_str(),
                  static_cast<unsigned long long>(m_done), static_cast<unsigned long long>(m_total),
                  seconds > 0 ? static_cast<double>(m_bytes) / 1e6 / seconds : 0.0);
    m_sink(line);
    m_bShown = true;
    m_lastDraw = now;
}

void CTerminalProgress::Clear() {
    if (!m_bShown)
        return;
    m_sink(ERASE);
    m_bShown = false;
}

void ClearProgressLine() {
    if (g_pCurrent != nullptr)
        g_pCurrent->Clear();
}
