#pragma once

#include "Online/OnlineServices.h"

#include <QObject>

// The network side of the window, built as the module bootdrive-online: the catalog service's view model
// and the picture loader, with Qt Network behind them.
class OnlineModule : public QObject, public OnlineServices
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID BOOTDRIVE_ONLINE_SERVICES_IID)
    Q_INTERFACES(OnlineServices)

public:
    std::shared_ptr<InstallationImageRequests> makeInstallationImageViewModel() override;
    void setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder) override;
};
