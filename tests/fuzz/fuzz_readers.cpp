// Feeds arbitrary bytes to the JSON and property-list readers and reads every field kind from the result.
#include "Common/JSONText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"
#include "Platform/Values/PropertyList.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

using platform::PropertyList;

static void readAll(const std::optional<QVariant> &value, int depth)
{
    if (!value || depth > 32)
        return;
    if (value->typeId() == QMetaType::QVariantMap) {
        const QVariantMap d = value->toMap();
        for (const QString &key : d.keys()) {
            (void)SafeMerge::safe_stringForKey(d, key);
            (void)SafeMerge::safe_numberForKey(d, key);
            (void)SafeMerge::safe_decimalNumberForKey(d, key);
            (void)SafeMerge::safe_integerForKey(d, key);
            (void)SafeMerge::safe_unsignedLongLongForKey(d, key);
            (void)SafeMerge::safe_boolForKey(d, key);
            (void)SafeMerge::safe_int16ForKey(d, key);
            (void)SafeMerge::safe_doubleForKey(d, key);
            (void)SafeMerge::safe_dateForKey(d, key, QStringLiteral("yyyy-MM-dd"));
            readAll(SafeMerge::safe_arrayForKey(d, key), depth + 1);
            readAll(SafeMerge::safe_dictionaryForKey(d, key), depth + 1);
        }
        (void)SafeMerge::safe_JSONString(d);
        (void)SafeMerge::safe_dictionaryByMerging(d, d);
    } else if (value->typeId() == QMetaType::QVariantList) {
        const QVariantList a = value->toList();
        for (uint64_t i = 0; i <= uint64_t(a.size()); ++i) {
            (void)SafeAccess::safe_stringWithIndex(a, i);
            (void)SafeAccess::safe_integerWithIndex(a, i);
            (void)SafeAccess::safe_decimalNumberWithIndex(a, i);
            (void)SafeAccess::safe_CGFloatWithIndex(a, i);
            readAll(SafeAccess::safe_arrayWithIndex(a, i), depth + 1);
            readAll(SafeAccess::safe_dictionaryWithIndex(a, i), depth + 1);
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_readers";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    readAll(JSONText::objectWithJSONData(bytes, 4), 0);
    readAll(PropertyList::parse(bytes), 0);
    return 0;
}
