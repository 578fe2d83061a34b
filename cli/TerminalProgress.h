#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One progress line on stderr for a verb that goes through many entries
// ("check: 120 of 200 entries, 35.2 MB/s"): shown once the work has taken
// half a second, only when stderr is a terminal and --quiet was not given,
// brought up to date at most ten times a second, and erased at the end.
// Messages printed meanwhile erase it first (ClearProgressLine).
class CTerminalProgress {
public:
    using SinkFn = std::function<void(const std::string& text)>;
    using ClockFn = std::function<double()>; // seconds

    // Progress through total entries, for stderr when it should show.
    CTerminalProgress(const char* verb, std::uint64_t total);
    // The same, writing to sink with time from clock, shown when bShow.
    CTerminalProgress(const char* verb, std::uint64_t total, bool bShow, SinkFn sink,
                      ClockFn clock);
    ~CTerminalProgress();
    CTerminalProgress(const CTerminalProgress&) = delete;
    CTerminalProgress& operator=(const CTerminalProgress&) = delete;

    // One more entry done, of bytes of content.
    void Advance(std::uint64_t bytes);
    // Erases the line if it is shown; the next Advance shows it again.
    void Clear();

    // Whether progress lines are wanted at all (--quiet says no).
    static void SetWanted(bool bWanted);

private:
    void Draw(double now);

    std::string m_verb;
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
    std::uint64_t m_bytes = 0;
    bool m_bShow;
    bool m_bShown = false;
    double m_start;
    double m_lastDraw = -1;
    SinkFn m_sink;
    ClockFn m_clock;
};

// Erases the progress line of the verb running, if one is shown, so that a
// message can take its place.
void ClearProgressLine();
