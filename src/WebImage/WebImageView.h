#pragma once

#include <QImage>
#include <QUrl>

class QLabel;
class WebImageManager;

// Pictures by address in image views (labels). Main thread only.
class WebImageView
{
public:
    // Shows the placeholder at once (a null placeholder clears the view), then the picture at the address
    // when it arrives, decoded to fit the view's current size at its screen's pixel ratio (a view without a
    // size gets the picture's own size). A later call on the same view supersedes this one; if the picture
    // cannot be had the placeholder stays. A picture in the memory cache is shown before this returns.
    static void setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder);
    // The same through a given manager instead of the process-wide one.
    static void setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder,
                                WebImageManager &manager);
};
