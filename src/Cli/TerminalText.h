#pragma once

#include <QString>
#include <cstdio>

// Text as a terminal sets it: how many columns it takes (East Asian wide characters two, combining marks
// none), cut to fit, and coloured where the terminal and the user want colour.
class TerminalText
{
public:
    enum class Colour
    {
        Green,
        Red,
        Yellow,
        Cyan,
        Bold,
        Dim,
    };

    static int columns(const QString &text);
    // Text from a drive or a file name with its control characters shown as "?": it must not drive the
    // terminal.
    static QString printable(QString text);
    // The text cut at its end to at most `columns` columns, with "…" where it was cut.
    static QString elided(const QString &text, int columns);
    // Colour only on a terminal that is not "dumb", and never when NO_COLOR is set to anything.
    static bool wantsColour(std::FILE *stream);
    // The text between the colour's escape sequence and the reset; the text alone when `enabled` is false.
    static QString painted(const QString &text, Colour colour, bool enabled);
};
