#include "Common/JSONText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"
#include "Platform/Values/PropertyList.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using platform::PropertyList;

namespace {

// Reads every field kind from whatever a decoder produced; nothing may crash or throw.
void readEverything(const std::optional<QVariant> &value, int depth = 0)
{
    if (!value || depth > 64)
        return;
    if (value->typeId() == QMetaType::QVariantMap) {
        const QVariantMap d = value->toMap();
        for (const QString &key : d.keys()) {
            using namespace SafeMerge;
            (void)safe_hasKey(d, key);
            (void)safe_stringForKey(d, key);
            (void)safe_numberForKey(d, key);
            (void)safe_decimalNumberForKey(d, key);
            (void)safe_integerForKey(d, key);
            (void)safe_unsignedIntegerForKey(d, key);
            (void)safe_boolForKey(d, key);
            (void)safe_int16ForKey(d, key);
            (void)safe_charForKey(d, key);
            (void)safe_floatForKey(d, key);
            (void)safe_doubleForKey(d, key);
            (void)safe_unsignedLongLongForKey(d, key);
            (void)safe_dateForKey(d, key, QStringLiteral("yyyy-MM-dd"));
            (void)safe_CGFloatForKey(d, key);
            readEverything(safe_arrayForKey(d, key), depth + 1);
            readEverything(safe_dictionaryForKey(d, key), depth + 1);
            readEverything(safe_numberForKey(d, key), depth + 1);
        }
        (void)SafeMerge::safe_JSONString(d);
        (void)SafeMerge::safe_dictionaryByMerging(d, d);
    } else if (value->typeId() == QMetaType::QVariantList) {
        const QVariantList a = value->toList();
        for (uint64_t i = 0; i <= uint64_t(a.size()); ++i) {
            using namespace SafeAccess;
            (void)safe_stringWithIndex(a, i);
            (void)safe_numberWithIndex(a, i);
            (void)safe_decimalNumberWithIndex(a, i);
            (void)safe_integerWithIndex(a, i);
            (void)safe_boolWithIndex(a, i);
            (void)safe_int16WithIndex(a, i);
            (void)safe_doubleWithIndex(a, i);
            (void)safe_dateWithIndex(a, i, QStringLiteral("HH:mm"));
            (void)safe_CGFloatWithIndex(a, i);
            readEverything(safe_arrayWithIndex(a, i), depth + 1);
            readEverything(safe_dictionaryWithIndex(a, i), depth + 1);
        }
    }
    (void)JSONText::stringWithJSONObject(*value);
}

QByteArray mutate(QRandomGenerator &random, QByteArray seed)
{
    const int edits = 1 + random.bounded(8);
    for (int i = 0; i < edits && !seed.isEmpty(); ++i) {
        const int at = random.bounded(static_cast<int>(seed.size()));
        switch (random.bounded(3)) {
        case 0:
            seed[at] = static_cast<char>(random.bounded(256));
            break;
        case 1:
            seed.remove(at, 1 + random.bounded(4));
            break;
        default:
            seed.insert(at, seed.mid(random.bounded(static_cast<int>(seed.size())), 1 + random.bounded(6)));
        }
    }
    return seed;
}

} // namespace

TEST(RandomInput, JsonAndPropertyListReadersSurviveArbitraryBytes)
{
    const QList<QByteArray> seeds = {
        R"({"code":0,"message":"ok","data":[{"name":"Install macOS Mojave","version":10.14,"info":null}]})",
        R"([1, -2.5e10, "x", true, null, {"a":{"b":[[]]}}, "<null>", "70000", "1,234.5"])",
        R"(<?xml version="1.0"?><plist version="1.0"><dict><key>k</key><array><integer>1</integer><real>2.5</real><date>2019-01-01T00:00:00Z</date><data>AAE=</data></array></dict></plist>)",
        QByteArray("bplist00\xd1\x01\x02Qk\x10\x05\x08\x0b\x0d\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00"
                   "\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0f",
                   48),
    };
    QRandomGenerator random(20261207);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray input =
            round < 200 ? QByteArray(random.bounded(64), '\0') : mutate(random, seeds[round % seeds.size()]);
        if (round < 200)
            for (auto &c : input)
                c = static_cast<char>(random.bounded(256));
        for (const std::optional<QVariant> &value :
             {JSONText::objectWithJSONData(input, 4), JSONText::objectWithJSONData(input),
              PropertyList::parse(input)}) {
            if (value)
                ++decoded;
            readEverything(value);
        }
    }
    EXPECT_GT(decoded, 100) << "mutations should still decode often enough to exercise the readers";
}
