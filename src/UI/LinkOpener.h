#pragma once

#include <QCoreApplication>
#include <QString>
#include <functional>

class QWidget;

// Hands web links to the user's default handler. Where nothing can open them (no browser), an alert on the
// window gives the address as text the user can select and copy, so the link is never silently lost.
class LinkOpener
{
    Q_DECLARE_TR_FUNCTIONS(LinkOpener)

public:
    // `done` runs once: right after the link was handed on (or refused for not being a web address), or when
    // the alert that gives the address has been answered.
    static void open(QWidget *window, const QString &link, std::function<void()> done = {});
};
