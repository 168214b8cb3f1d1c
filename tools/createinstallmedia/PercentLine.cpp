#include "PercentLine.h"

#include "disklib/Console.h"

using disktools::Console;

PercentLine::PercentLine(const std::string &title)
{
    Console::write(title + ": 0%");
}

PercentLine::~PercentLine()
{
    interrupt();
}

void PercentLine::update(double fraction)
{
    if (!m_open)
        return;
    const int reached = fraction >= 1 ? 90 : fraction <= 0 ? 0 : static_cast<int>(fraction * 10) * 10;
    std::string steps;
    while (m_shown + 10 <= reached) {
        m_shown += 10;
        steps += "... " + std::to_string(m_shown) + "%";
    }
    if (!steps.empty())
        Console::write(steps);
}

void PercentLine::finish()
{
    if (!m_open)
        return;
    update(1);
    Console::write("... 100%\n");
    m_open = false;
}

void PercentLine::interrupt()
{
    if (m_open)
        Console::write("\n");
    m_open = false;
}
