#pragma once

#include <QString>

// Texts that come from outside (a bundle's name, a drive's label or maker, a file name, the catalog service)
// are data: always shown as plain text, and only up to a length a window can lay out.
class ForeignText
{
public:
    // What a name or a status line shows at most.
    static constexpr qsizetype NameLimit = 200;

    // The text cut to `limit` characters plus an ellipsis, never inside a character; shorter texts as they
    // are.
    static QString bounded(const QString &text, qsizetype limit = NameLimit);
    // A tool tip that shows the text as it is: tool tips take markup whenever a text looks like it.
    static QString toolTip(const QString &text);
};
