#pragma once

#include <string>

// One stage's progress on one line, each step written and flushed as it is reached:
// "Copying to disk: 0%... 10%... 20%... 100%".
class PercentLine
{
public:
    explicit PercentLine(const std::string &title);
    // Ends an unfinished line so that whatever follows starts on a line of its own.
    ~PercentLine();
    PercentLine(const PercentLine &) = delete;
    PercentLine &operator=(const PercentLine &) = delete;

    // Writes every ten-percent step up to the fraction (never 100%: that is finish()'s).
    void update(double fraction);
    void finish();
    void interrupt();

private:
    int m_shown = 0;
    bool m_open = true;
};
