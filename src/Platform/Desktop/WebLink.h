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
    // Opens a web link with the default handler. Anything else is not opened, and the log says so. True when
    // the link was handed on.
    static bool open(const QString &text);
};

} // namespace platform
