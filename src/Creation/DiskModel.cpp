#include "Creation/DiskModel.h"

#include "Common/BaseImage.h"
#include "Platform/IconProvider.h"

std::shared_ptr<DiskModel> DiskModel::initWithURL(const QString &mountPath)
{
    auto model = std::make_shared<DiskModel>();
    QString path = mountPath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    model->m_volume = path;
    model->m_name = path.split(QLatin1Char('/')).last();
    model->m_image = BaseImage::resizeImage(platform::IconProvider::effectiveIcon(path), QSizeF(20, 20));
    return model;
}

QString DiskModel::removeSpaceAndNewline(const QString &text)
{
    return text.trimmed();
}

bool DiskModel::isExternalWithPath(const QString &text)
{
    return text.contains(QLatin1String("(external, physical)")) && text.startsWith(QLatin1String("/dev"));
}
