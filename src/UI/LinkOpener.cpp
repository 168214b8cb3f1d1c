#include "UI/LinkOpener.h"

#include "Common/ForeignText.h"
#include "Platform/Desktop/WebLink.h"
#include "UI/AlertManager.h"

void LinkOpener::open(QWidget *window, const QString &link, std::function<void()> done)
{
    if (platform::WebLink::open(link) != platform::WebLink::Opened::NoHandler) {
        if (done)
            done();
        return;
    }
    AlertOptions options;
    options.detailText = ForeignText::bounded(platform::WebLink::fromText(link).toString(), 2000);
    AlertManager::alertByWindow(
        window, {tr("确定")}, QImage(), tr("无法打开链接"),
        tr("没有可以打开网页的程序。请将下面的地址复制到浏览器中打开："), AlertManager::InformationalStyle,
        [done](int64_t) {
            if (done)
                done();
        },
        options);
}
