#pragma once

#include <QString>
#include <QUrl>

namespace platform {

// Links that come from outside (the catalog service's answers) handed to the user's default handler. Only
// web pages may open that way: a file, a program, a script or a share named by a hostile or broken service
// must never be started on the user's behalf.
class WebLink
{
public:
    // The link as an absolute http or https address with a host; an empty URL for anything else.
    static QUrl fromText(const QString &text);
    enum class Opened
    {
        Yes,
        NotAWebLink, // refused, and the log says so
        NoHandler,   // nothing on this computer opens web pages
    };
    // Opens a web link with the default handler. Anything else is not opened.
    static Opened open(const QString &text);
};

} // namespace platform
