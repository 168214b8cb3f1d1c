#include "Common/ForeignText.h"

#include <QTextDocument>

QString ForeignText::bounded(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype cut = limit;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QStringLiteral("…");
}

QString ForeignText::toolTip(const QString &text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(bounded(text), Qt::WhiteSpaceNormal);
}
