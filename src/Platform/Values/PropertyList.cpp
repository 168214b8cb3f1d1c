#include "Platform/Values/PropertyList.h"

#include "Platform/Posix/RegularFile.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <limits>
#include <plist/plist.h>

namespace platform {

namespace {

// Seconds between 1970-01-01 and the property-list epoch 2001-01-01.
constexpr qint64 kEpochOffset = 978307200;
// Deeply nested input would otherwise recurse without bound.
constexpr int kMaxDepth = 512;

std::optional<QVariant> convert(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return QVariant(v != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        // libplist keeps negative integers as their two's complement.
        return QVariant(static_cast<qint64>(v));
    }
    case PLIST_UID: {
        uint64_t v = 0;
        plist_get_uid_val(node, &v);
        return QVariant(static_cast<quint64>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return QVariant(v);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text, text ? static_cast<qsizetype>(length) : 0));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(bytes, bytes ? static_cast<qsizetype>(length) : 0));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QVariant(
            QDateTime::fromMSecsSinceEpoch((kEpochOffset + sec) * 1000 + usec / 1000, QTimeZone::utc()));
    }
    case PLIST_ARRAY: {
        QVariantList array;
        const uint32_t size = plist_array_get_size(node);
        array.reserve(size);
        for (uint32_t i = 0; i < size; ++i) {
            std::optional<QVariant> item = convert(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return {};
            array.append(std::move(*item));
        }
        return QVariant(std::move(array));
    }
    case PLIST_DICT: {
        QVariantMap dictionary;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return QVariant(dictionary);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            const QString name = QString::fromUtf8(key);
            free(key);
            std::optional<QVariant> item = convert(value, depth + 1);
            if (!item) {
                free(it);
                return {};
            }
            dictionary.insert(name, std::move(*item));
        }
        free(it);
        return QVariant(std::move(dictionary));
    }
    case PLIST_NONE:
        break;
    }
    return {};
}

} // namespace

std::optional<QVariant> PropertyList::parse(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max())
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return {};
    std::optional<QVariant> value = convert(root, 0);
    plist_free(root);
    return value;
}

std::optional<QVariant> PropertyList::readFile(const QString &path)
{
    // A FIFO or device in place of the file is never opened; anything but a regular file counts as missing.
    const auto bytes = posix::RegularFile::read(QFile::encodeName(path).toStdString(), size_t(MaxFileSize));
    return bytes ? parse(QByteArray(bytes->data(), qsizetype(bytes->size()))) : std::nullopt;
}

QVariantMap PropertyList::readDictionary(const QString &path)
{
    const std::optional<QVariant> value = readFile(path);
    return value && value->typeId() == QMetaType::QVariantMap ? value->toMap() : QVariantMap();
}

} // namespace platform
