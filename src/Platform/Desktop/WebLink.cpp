#include "Platform/Desktop/WebLink.h"

#include <QDebug>
#include <QDesktopServices>

namespace platform {

QUrl WebLink::fromText(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

WebLink::Opened WebLink::open(const QString &text)
{
    const QUrl url = fromText(text);
    if (url.isEmpty()) {
        // The text may be anything a service sent: the log gets enough of it to recognise, on one line.
        constexpr qsizetype shown = 200;
        QString quoted = text.size() > shown ? text.left(shown) + QStringLiteral("…") : text;
        for (QChar &c : quoted)
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char('?');
        qInfo().noquote() << (QStringLiteral("Not opening a link that is not a web address: %1").arg(quoted));
        return Opened::NotAWebLink;
    }
    return QDesktopServices::openUrl(url) ? Opened::Yes : Opened::NoHandler;
}

} // namespace platform
