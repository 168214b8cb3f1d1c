#include "Common/JSONText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace SafeMerge;
using namespace SafeAccess;
using platform::DecimalNumber;

namespace {
QVariantMap parse(const char *json)
{
    return JSONText::objectWithJSONString(QString::fromUtf8(json)).value_or(QVariant()).toMap();
}

QVariantMap sample()
{
    return parse(
        R"({"message": null, "zero": 0, "answer": 42, "text": "12abc", "word": "abc", "fraction": 3.9,
            "big": "70000", "bignum": 70000, "list": [1], "dict": {"k": "v"}, "yes": "yes", "no": "no",
            "nullText": "<null>", "huge": "99999999999999999999", "neg": "-12"})");
}
} // namespace

TEST(SafeMerge, TextReaders)
{
    QVariantMap d = sample();
    ASSERT_EQ(d.size(), 15);
    EXPECT_FALSE(safe_stringForKey(d, "message"));
    EXPECT_TRUE(safe_hasKey(d, "message")) << "the null marker is an entry";
    EXPECT_FALSE(safe_hasKey(d, "missing"));
    EXPECT_EQ(safe_stringForKey(d, "zero"), "0");
    EXPECT_EQ(safe_stringForKey(d, "answer"), "42");
    EXPECT_EQ(safe_stringForKey(d, "nullText"), "<null>");
    EXPECT_EQ(safe_stringForKey(d, "text"), "12abc");
    EXPECT_FALSE(safe_stringForKey(d, "list"));
    EXPECT_FALSE(safe_stringForKey({}, "x"));
    const QVariantMap kinds{{"b", true},
                            {"f", 0.1},
                            {"u", QVariant::fromValue(quint64(18446744073709551615ULL))},
                            {"bytes", QByteArray("12")},
                            {"when", QDateTime::currentDateTimeUtc()},
                            {"decimal", QVariant::fromValue(DecimalNumber::fromString(u"-1.50"))}};
    EXPECT_EQ(safe_stringForKey(kinds, "b"), "1") << "a boolean's text is its digit";
    EXPECT_EQ(safe_stringForKey({{"n", qint64(-42)}}, "n"), "-42");
    EXPECT_EQ(safe_stringForKey(kinds, "f"), "0.1");
    EXPECT_EQ(safe_stringForKey(kinds, "u"), "18446744073709551615");
    EXPECT_EQ(safe_stringForKey(kinds, "decimal"), "-1.5");
    EXPECT_FALSE(safe_stringForKey(kinds, "bytes")) << "bytes are no text, though Qt converts them";
    EXPECT_FALSE(safe_stringForKey(kinds, "when"));
    EXPECT_EQ(safe_integerForKey(kinds, "bytes"), 0);
    EXPECT_FALSE(safe_boolForKey(kinds, "when"));
}

TEST(SafeMerge, IntegerReadersTruncateSaturateAndKeepLowBits)
{
    const QVariantMap d = sample();
    EXPECT_EQ(safe_integerForKey(d, "text"), 12);
    EXPECT_EQ(safe_integerForKey(d, "word"), 0);
    EXPECT_EQ(safe_integerForKey(d, "fraction"), 3);
    EXPECT_EQ(safe_integerForKey(d, "message"), 0);
    EXPECT_EQ(safe_integerForKey(d, "list"), 0);
    EXPECT_EQ(safe_integerForKey(d, "huge"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(safe_int32ForKey(d, "huge"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(safe_longLongForKey(d, "neg"), -12);
    EXPECT_EQ(safe_int16ForKey(d, "big"), 4464);
    EXPECT_EQ(safe_int16ForKey(d, "bignum"), 4464);
    EXPECT_EQ(safe_shortForKey(d, "big"), 4464);
    EXPECT_EQ(safe_charForKey(d, "bignum"), static_cast<int8_t>(70000 & 0xff));
    EXPECT_EQ(safe_unsignedLongLongForKey(d, "answer"), 42u);
    EXPECT_EQ(safe_unsignedLongLongForKey(d, "word"), 0u);
    EXPECT_EQ(safe_unsignedIntegerForKey(d, "big"), 70000u);

    const QVariantMap numbers{
        {"int", 300},
        {"minus", -3.9},
        {"vast", 1e300},
        {"nan", std::nan("")},
        {"max", QVariant::fromValue(quint64(18446744073709551615ULL))},
        {"decimal", QVariant::fromValue(DecimalNumber::fromString(u"9007199254740993.7"))}};
    EXPECT_EQ(safe_charForKey(numbers, "int"), 44);
    EXPECT_EQ(safe_integerForKey(numbers, "minus"), -3);
    EXPECT_EQ(safe_integerForKey(numbers, "vast"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(safe_integerForKey(numbers, "nan"), 0);
    EXPECT_EQ(safe_integerForKey(numbers, "max"), -1) << "C's conversion of the unsigned value";
    EXPECT_EQ(safe_unsignedLongLongForKey(numbers, "max"), 18446744073709551615ULL);
    EXPECT_EQ(safe_integerForKey(numbers, "decimal"), 9007199254740993LL);
}

TEST(SafeMerge, BoolFloatAndLooseReaders)
{
    const QVariantMap d = sample();
    EXPECT_TRUE(safe_boolForKey(d, "yes"));
    EXPECT_FALSE(safe_boolForKey(d, "no"));
    EXPECT_FALSE(safe_boolForKey(d, "zero"));
    EXPECT_TRUE(safe_boolForKey(d, "answer"));
    EXPECT_FALSE(safe_boolForKey(d, "dict"));
    EXPECT_TRUE(safe_boolForKey({{"half", 0.5}}, "half"));
    EXPECT_DOUBLE_EQ(safe_doubleForKey(d, "fraction"), 3.9);
    EXPECT_FLOAT_EQ(safe_floatForKey(d, "text"), 12.0f);
    EXPECT_DOUBLE_EQ(safe_CGFloatForKey(d, "answer"), 42.0);
    EXPECT_DOUBLE_EQ(safe_CGFloatForKey(d, "message"), 0.0);
    EXPECT_DOUBLE_EQ(safe_CGFloatForKey(d, "list"), 0.0);
    EXPECT_FALSE(safe_arrayForKey(d, "dict"));
    EXPECT_FALSE(safe_dictionaryForKey(d, "list"));
    EXPECT_EQ(safe_dictionaryForKey(d, "dict"), d.value("dict").toMap());
    EXPECT_EQ(safe_arrayForKey(d, "list"), d.value("list").toList());

    // A reader hands back the stored value; changing it does not reach the container.
    QVariantMap changed = *safe_dictionaryForKey(d, "dict");
    changed.insert("k", "changed");
    EXPECT_EQ(safe_dictionaryForKey(d, "dict")->value("k"), "v");
}

TEST(SafeMerge, TextConversionsOfTheCLibrary)
{
    const auto int64 = [](const char *text) { return safe_integerForKey({{"t", QString(text)}}, "t"); };
    EXPECT_EQ(int64(" 12abc"), 12);
    EXPECT_EQ(int64("1.9"), 1);
    EXPECT_EQ(int64("+7"), 7);
    EXPECT_EQ(int64(""), 0);
    EXPECT_EQ(int64("-99999999999999999999999"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(int64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(safe_int32ForKey({{"t", "-3000000000"}}, "t"), std::numeric_limits<int32_t>::min());

    for (const char *yes : {"yes", "  True", "007", "-0009x"})
        EXPECT_TRUE(safe_boolForKey({{"t", yes}}, "t")) << yes;
    for (const char *no : {"no", "0", "000", "", "x1"})
        EXPECT_FALSE(safe_boolForKey({{"t", no}}, "t")) << no;

    const auto real = [](const char *text) { return safe_doubleForKey({{"t", QString(text)}}, "t"); };
    EXPECT_DOUBLE_EQ(real("3.25kg"), 3.25);
    EXPECT_DOUBLE_EQ(real(" -1.5e3"), -1500.0);
    EXPECT_DOUBLE_EQ(real(".5"), 0.5);
    EXPECT_DOUBLE_EQ(real("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(real("7."), 7.0);
    EXPECT_DOUBLE_EQ(real("2e"), 2.0);
    EXPECT_DOUBLE_EQ(real("1,5"), 1.0) << "the point whatever the locale";
    EXPECT_DOUBLE_EQ(real("abc"), 0.0);
    EXPECT_DOUBLE_EQ(real("-"), 0.0);
    EXPECT_TRUE(std::isinf(real("1e999")));
    EXPECT_EQ(real("-1e-999"), 0.0);
}

TEST(SafeMerge, LocaleNumbersDecimalsAndDates)
{
    const QVariantMap d{{"grouped", "1,234.5"}, {"empty", ""},      {"abc", "abc"},
                        {"num", 2.5},           {"digits", "1234"}, {"when", "2019-09-24 17:05"}};
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(safe_numberForKey(d, "digits"), QVariant(qint64(1234)));
    EXPECT_EQ(safe_numberForKey(d, "grouped"), QVariant(1234.5));
    EXPECT_EQ(safe_numberForKey({{"t", "-42"}}, "t"), QVariant(qint64(-42)));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(safe_numberForKey({{"t", "1.234,5"}}, "t"), QVariant(1234.5));
    EXPECT_FALSE(safe_numberForKey({{"t", "12abc"}}, "t"));
    EXPECT_EQ(safe_unsignedLongLongForKey({{"t", "70000"}}, "t"), 70000u);
    EXPECT_EQ(safe_unsignedLongLongForKey({{"t", "7x"}}, "t"), 0u);
    QLocale::setDefault(before);
    EXPECT_FALSE(safe_numberForKey(d, "abc"));
    EXPECT_FALSE(safe_numberForKey(d, "empty"));
    EXPECT_EQ(safe_numberForKey(d, "num"), d.value("num"));

    EXPECT_FALSE(safe_decimalNumberForKey(d, "empty"));
    EXPECT_TRUE(safe_decimalNumberForKey(d, "abc")->isNaN());
    EXPECT_EQ(safe_decimalNumberForKey(d, "num")->toString(), "2.5");
    EXPECT_EQ(safe_decimalNumberForKey({{"n", -77}}, "n")->toString(), "-77");
    EXPECT_FALSE(safe_decimalNumberForKey(d, "message"));

    const std::optional<QDateTime> date = safe_dateForKey(d, "when", "yyyy-MM-dd HH:mm");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->toLocalTime().toString("yyyy-MM-dd HH:mm"), "2019-09-24 17:05");
    EXPECT_FALSE(safe_dateForKey(d, "when", "dd/MM/yyyy"));
    EXPECT_FALSE(safe_dateForKey(d, "empty", "yyyy"));
    EXPECT_FALSE(safe_dateForKey(d, "num", "yyyy"));
}

TEST(SafeAccess, ArrayReadersTreatPastTheEndAsMissing)
{
    const QVariantList a{"<null>", QVariant::fromValue(nullptr), 70000, "x"};
    EXPECT_EQ(safe_objectWithIndex(a, 3), QVariant("x"));
    EXPECT_FALSE(safe_objectWithIndex(a, 4));
    EXPECT_FALSE(safe_objectWithIndex({}, 0));
    EXPECT_FALSE(safe_objectWithIndex(a, std::numeric_limits<uint64_t>::max()));
    EXPECT_FALSE(safe_stringWithIndex(a, 0)) << "\"<null>\" reads as nothing at an index";
    EXPECT_FALSE(safe_stringWithIndex(a, 1));
    EXPECT_EQ(safe_stringWithIndex(a, 2), "70000");
    EXPECT_EQ(safe_int16WithIndex(a, 2), 4464);
    EXPECT_EQ(safe_integerWithIndex(a, 9), 0);
    EXPECT_DOUBLE_EQ(safe_CGFloatWithIndex(a, 9), 0.0);
}

TEST(SafeAccess, WritersNeverStoreNothingAndKeepTheScalarType)
{
    QVariantMap d{{"name", "old"}};
    safe_setObj(d, QVariant(), "name");
    EXPECT_EQ(d.value("name"), "old");
    safe_setString(d, std::nullopt, "name");
    EXPECT_FALSE(d.contains("name"));
    safe_setString(d, QString(), "empty");
    EXPECT_TRUE(d.contains("empty")) << "an empty text is a text";
    safe_setInteger(d, 7, "version");
    safe_setBool(d, true, "flag");
    safe_setChar(d, -3, "c");
    safe_setFloat(d, 0.1f, "f");
    EXPECT_EQ(d.value("version").typeId(), QMetaType::LongLong);
    EXPECT_EQ(d.value("flag").typeId(), QMetaType::Bool);
    EXPECT_EQ(safe_charForKey(d, "c"), -3);
    EXPECT_EQ(safe_stringForKey(d, "f"), "0.1") << "a float keeps its own shortest digits";
    safe_setString(d, QStringLiteral("v"), QString());
    EXPECT_EQ(d.size(), 5);

    QVariantList a;
    safe_addObj(a, QVariant());
    safe_addString(a, std::nullopt);
    EXPECT_TRUE(a.isEmpty());
    safe_addString(a, QStringLiteral("s"));
    safe_addFloat(a, 1.5f);
    safe_addUnsignedInteger(a, 18446744073709551615ULL);
    ASSERT_EQ(a.size(), 3);
    EXPECT_EQ(safe_unsignedIntegerWithIndex(a, 2), 18446744073709551615ULL);
}

TEST(SafeMerge, DeepMergeReplacesLeavesAndMergesDictionaries)
{
    EXPECT_EQ(
        safe_dictionaryByMerging(parse(R"({"a":1,"n":{"x":1,"y":2}})"), parse(R"({"b":2,"n":{"y":3}})")),
        parse(R"({"a":1,"b":2,"n":{"x":1,"y":3}})"));
    EXPECT_EQ(safe_dictionaryByMerging(parse(R"({"n":{"x":1}})"), parse(R"({"n":5})")), parse(R"({"n":5})"));
    EXPECT_EQ(safe_dictionaryByMerging(parse(R"({"l":[1]})"), parse(R"({"l":[2]})")), parse(R"({"l":[2]})"));
    EXPECT_EQ(safe_dictionaryByMerging(parse(R"({"n":5})"), parse(R"({"n":{"x":1}})")),
              parse(R"({"n":{"x":1}})"));

    const QVariantMap first = parse(R"({"keep":{"deep":{"v":1}}})");
    QVariantMap result = safe_dictionaryByMergingWith(first, {});
    EXPECT_EQ(result, first);
    QVariantMap keep = result.value("keep").toMap();
    keep.insert("added", 1);
    result.insert("keep", keep);
    EXPECT_FALSE(first.value("keep").toMap().contains("added"));

    const QVariantMap shallow = safe_dictionaryByAddingEntriesFromDictionary(parse(R"({"n":{"x":1},"a":1})"),
                                                                             parse(R"({"n":{"y":2}})"));
    EXPECT_EQ(shallow, parse(R"({"n":{"y":2},"a":1})"));
    EXPECT_EQ(safe_dictionaryByRemovingEntriesWithKeys(shallow, {"a", "absent"}), parse(R"({"n":{"y":2}})"));
    EXPECT_TRUE(shallow.contains("a")) << "the receiver is untouched";
}

TEST(JSONText, TextRoundTripsAndRejectsNonJson)
{
    EXPECT_FALSE(JSONText::objectWithJSONString(QStringLiteral("not json")));
    EXPECT_FALSE(JSONText::objectWithJSONString(QString()));
    EXPECT_FALSE(JSONText::objectWithJSONString(std::nullopt));
    std::optional<QVariant> decoded = JSONText::objectWithJSONString(QStringLiteral(R"({"a":[1,2]})"));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->typeId(), QMetaType::QVariantMap);
    QVariantMap object = decoded->toMap();
    object.insert("b", "mutable");
    const std::optional<QString> text = JSONText::stringWithJSONObject(object);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->contains('\n'));
    EXPECT_EQ(JSONText::objectWithJSONString(text), QVariant(object));
    EXPECT_FALSE(JSONText::stringWithJSONObject("x"));
    EXPECT_FALSE(JSONText::stringWithJSONObject(QVariantList{std::nan("")}));
    EXPECT_FALSE(JSONText::stringWithJSONObject(QVariantList{QDateTime::currentDateTimeUtc()}));
    EXPECT_FALSE(safe_JSONString({{"d", QByteArray("x")}}));
    EXPECT_FALSE(safe_JSONString({{"d", std::numeric_limits<double>::infinity()}}));
    EXPECT_TRUE(safe_JSONString(object));
    EXPECT_EQ(JSONText::objectWithJSONData("5", 4), QVariant(qint64(5)));
    EXPECT_FALSE(JSONText::objectWithJSONData("5"));
}
