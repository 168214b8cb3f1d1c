#include "Online/OnlineModule.h"

#include "Service/InstallationImageViewModel.h"
#include "WebImage/WebImageView.h"

std::shared_ptr<InstallationImageRequests> OnlineModule::makeInstallationImageViewModel()
{
    return std::make_shared<InstallationImageViewModel>();
}

void OnlineModule::setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder)
{
    WebImageView::setImageWithURL(view, url, placeholder);
}
