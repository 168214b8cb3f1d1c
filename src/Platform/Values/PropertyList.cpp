#include "Platform/Values/PropertyList.h"

#include "Platform/Posix/RegularFile.h"
#include "Platform/Values/Array.h"
#include "Platform/Values/Data.h"
#include "Platform/Values/Date.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Number.h"
#include "Platform/Values/String.h"

#include <QFile>
#include <limits>
#include <plist/plist.h>

namespace platform {

namespace {

// Seconds between 1970-01-01 and the property-list epoch 2001-01-01.
constexpr double kEpochOffset = 978307200.0;
// Deeply nested input would otherwise recurse without bound.
constexpr int kMaxDepth = 512;

ObjectPtr convert(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return Number::fromBool(v != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        // libplist keeps negative integers as their two's complement.
        return Number::fromLongLong(static_cast<int64_t>(v));
    }
    case PLIST_UID: {
        uint64_t v = 0;
        plist_get_uid_val(node, &v);
        return Number::fromUnsignedLongLong(v);
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return Number::fromDouble(v);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return String::make(text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString());
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return Data::make(bytes ? QByteArray(bytes, static_cast<qsizetype>(length)) : QByteArray());
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return Date::make(kEpochOffset + sec + usec / 1e6);
    }
    case PLIST_ARRAY: {
        auto array = std::make_shared<Array>();
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i) {
            ObjectPtr item = convert(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return {};
            array->append(item);
        }
        return array;
    }
    case PLIST_DICT: {
        auto dictionary = std::make_shared<Dictionary>();
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return dictionary;
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            const QString name = QString::fromUtf8(key);
            free(key);
            ObjectPtr item = convert(value, depth + 1);
            if (!item) {
                free(it);
                return {};
            }
            dictionary->setValue(name, item);
        }
        free(it);
        return dictionary;
    }
    case PLIST_NONE:
        break;
    }
    return {};
}

} // namespace

ObjectPtr PropertyList::parse(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max())
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return {};
    ObjectPtr value = convert(root, 0);
    plist_free(root);
    return value;
}

ObjectPtr PropertyList::readFile(const QString &path)
{
    // A FIFO or device in place of the file is never opened; anything but a regular file counts as missing.
    const auto bytes = posix::RegularFile::read(QFile::encodeName(path).toStdString(), size_t(MaxFileSize));
    return bytes ? parse(QByteArray(bytes->data(), qsizetype(bytes->size()))) : ObjectPtr();
}

} // namespace platform
