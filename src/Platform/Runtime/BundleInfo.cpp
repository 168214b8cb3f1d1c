#include "Platform/Runtime/BundleInfo.h"

#include "Platform/Values/PropertyList.h"

#include <cstddef>

extern const unsigned char bootdriveInfoPlist[];
extern const std::size_t bootdriveInfoPlistSize;

namespace platform {

const QVariantMap &BundleInfo::mainInfoDictionary()
{
    static const QVariantMap info = [] {
        const auto parsed =
            PropertyList::parse(QByteArray::fromRawData(reinterpret_cast<const char *>(bootdriveInfoPlist),
                                                        static_cast<qsizetype>(bootdriveInfoPlistSize)));
        return parsed ? parsed->toMap() : QVariantMap();
    }();
    return info;
}

QString BundleInfo::string(const QString &key)
{
    const QVariant value = mainInfoDictionary().value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace platform
