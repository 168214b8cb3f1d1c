#include "Platform/Runtime/BundleInfo.h"

#include "Platform/Values/PropertyList.h"
#include "Platform/Values/String.h"

#include <cstddef>

extern const unsigned char bootdriveInfoPlist[];
extern const std::size_t bootdriveInfoPlistSize;

namespace platform {

DictionaryPtr BundleInfo::mainInfoDictionary()
{
    static const DictionaryPtr info = [] {
        auto parsed = as<Dictionary>(
            PropertyList::parse(QByteArray::fromRawData(reinterpret_cast<const char *>(bootdriveInfoPlist),
                                                        static_cast<qsizetype>(bootdriveInfoPlistSize))));
        return parsed ? parsed : std::make_shared<Dictionary>();
    }();
    return info;
}

QString BundleInfo::string(const QString &key)
{
    auto value = as<String>(mainInfoDictionary()->value(key));
    return value ? value->value() : QString();
}

} // namespace platform
