#pragma once

#include "Online/InstallationImageRequests.h"

#include <QImage>
#include <QUrl>
#include <QtPlugin>
#include <memory>

class QLabel;

// What the window needs from the network: the catalog service's requests and pictures by address. They
// live in a module of their own, loaded the first time the window asks, after its first frame, so the
// network libraries (Qt Network, Kerberos, the proxy resolver) cost nothing before the window is shown.
class OnlineServices
{
public:
    virtual ~OnlineServices() = default;

    // A view model for one window's catalog and update notice; the window keeps it.
    virtual std::shared_ptr<InstallationImageRequests> makeInstallationImageViewModel() = 0;
    // Shows the placeholder at once and the picture at the address when it arrives; a later call on the
    // same view supersedes this one.
    virtual void setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder) = 0;

    // The module's services, loaded from the tool folder on first use (main thread only); none when the
    // module cannot be loaded, which the log explains once.
    static OnlineServices *shared();
    // Serves the process from these services instead of the module: for a program that links them in.
    static void useInProcess(OnlineServices *services);
};

#define BOOTDRIVE_ONLINE_SERVICES_IID "app.bootdrive.OnlineServices/1"
Q_DECLARE_INTERFACE(OnlineServices, BOOTDRIVE_ONLINE_SERVICES_IID)
