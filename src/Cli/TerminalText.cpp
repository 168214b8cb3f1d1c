#include "Cli/TerminalText.h"

#include "Platform/Runtime/Terminal.h"

#include <QList>
#include <cstdlib>

namespace {

// The blocks of East Asian wide and fullwidth characters (Unicode's East_Asian_Width W and F).
bool wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

int width(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
        category == QChar::Other_Format)
        return 0;
    return wide(c) ? 2 : 1;
}

} // namespace

QString TerminalText::printable(QString text)
{
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return text;
}

int TerminalText::columns(const QString &text)
{
    int total = 0;
    for (const char32_t c : text.toUcs4())
        total += width(c);
    return total;
}

QString TerminalText::elided(const QString &text, int columns)
{
    if (TerminalText::columns(text) <= columns)
        return text;
    if (columns <= 0)
        return {};
    QString kept;
    int used = 0;
    for (const char32_t c : text.toUcs4()) {
        if (used + width(c) > columns - 1)
            break;
        used += width(c);
        kept += QString::fromUcs4(&c, 1);
    }
    return kept + QChar(0x2026);
}

bool TerminalText::wantsColour(std::FILE *stream)
{
    // https://no-color.org: present and not empty.
    if (!qEnvironmentVariableIsEmpty("NO_COLOR"))
        return false;
    const QByteArray term = qgetenv("TERM");
    return platform::Terminal::isTerminal(stream) && !term.isEmpty() && term != "dumb";
}

QString TerminalText::painted(const QString &text, Colour colour, bool enabled)
{
    if (!enabled || text.isEmpty())
        return text;
    static const char *const codes[] = {"32", "31", "33", "36", "1", "2"};
    return QStringLiteral("\x1b[%1m%2\x1b[0m").arg(QLatin1String(codes[static_cast<int>(colour)]), text);
}
