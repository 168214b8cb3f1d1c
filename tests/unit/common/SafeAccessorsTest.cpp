#include "Common/JSONText.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"
#include "Platform/Values/Data.h"
#include "Platform/Values/Null.h"
#include "Platform/Values/Set.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace platform;
using namespace SafeMerge;
using namespace SafeAccess;

namespace {
DictionaryPtr sample()
{
    return as<Dictionary>(JSONText::objectWithJSONString(QStringLiteral(
        R"({"message": null, "zero": 0, "answer": 42, "text": "12abc", "word": "abc", "fraction": 3.9,
            "big": "70000", "bignum": 70000, "list": [1], "dict": {"k": "v"}, "yes": "yes", "no": "no",
            "nullText": "<null>", "huge": "99999999999999999999", "neg": "-12"})")));
}
} // namespace

TEST(SafeMerge, TextReaders)
{
    auto d = sample();
    ASSERT_TRUE(d);
    EXPECT_FALSE(safe_stringForKey(d, "message"));
    EXPECT_TRUE(safe_hasKey(d, "message"));
    EXPECT_FALSE(safe_hasKey(d, "missing"));
    EXPECT_EQ(safe_stringForKey(d, "zero")->value(), "0");
    EXPECT_EQ(safe_stringForKey(d, "answer")->value(), "42");
    EXPECT_EQ(safe_stringForKey(d, "nullText")->value(), "<null>");
    EXPECT_FALSE(safe_stringForKey(d, "list"));
    EXPECT_EQ(safe_stringForKey(d, "text"), d->value("text")) << "the very object, not a copy";
    EXPECT_FALSE(safe_stringForKey(nullptr, "x"));
    auto flag = Dictionary::make({{"b", Number::fromBool(true)}});
    EXPECT_EQ(safe_stringForKey(flag, "b")->value(), "1");
}

TEST(SafeMerge, IntegerReadersTruncateSaturateAndKeepLowBits)
{
    auto d = sample();
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
}

TEST(SafeMerge, BoolFloatAndLooseReaders)
{
    auto d = sample();
    EXPECT_TRUE(safe_boolForKey(d, "yes"));
    EXPECT_FALSE(safe_boolForKey(d, "no"));
    EXPECT_FALSE(safe_boolForKey(d, "zero"));
    EXPECT_TRUE(safe_boolForKey(d, "answer"));
    EXPECT_FALSE(safe_boolForKey(d, "dict"));
    EXPECT_DOUBLE_EQ(safe_doubleForKey(d, "fraction"), 3.9);
    EXPECT_FLOAT_EQ(safe_floatForKey(d, "text"), 12.0f);
    EXPECT_DOUBLE_EQ(safe_CGFloatForKey(d, "answer"), 42.0);
    EXPECT_DOUBLE_EQ(safe_CGFloatForKey(d, "message"), 0.0);
    EXPECT_DOUBLE_EQ(safe_CGFloatForKey(d, "list"), 0.0);
    EXPECT_FALSE(safe_arrayForKey(d, "dict"));
    EXPECT_EQ(safe_dictionaryForKey(d, "dict"), d->value("dict"));
    EXPECT_EQ(safe_arrayForKey(d, "list"), d->value("list"));
}

TEST(SafeMerge, LocaleNumbersDecimalsAndDates)
{
    auto d = Dictionary::make({{"grouped", String::make("1,234.5")},
                               {"empty", String::make("")},
                               {"abc", String::make("abc")},
                               {"num", Number::fromDouble(2.5)},
                               {"when", String::make("2019-09-24 17:05")}});
    // Grouping and decimal marks depend on the user's locale (covered with fixed locales in the platform
    // tests); plain digits read the same everywhere.
    auto digits = safe_numberForKey(Dictionary::make({{"n", String::make("1234")}}), "n");
    ASSERT_TRUE(digits);
    EXPECT_EQ(digits->longLongValue(), 1234);
    EXPECT_FALSE(safe_numberForKey(d, "abc"));
    EXPECT_FALSE(safe_numberForKey(d, "empty"));
    EXPECT_EQ(safe_numberForKey(d, "num"), d->value("num"));

    EXPECT_FALSE(safe_decimalNumberForKey(d, "empty"));
    EXPECT_TRUE(safe_decimalNumberForKey(d, "abc")->isNaN());
    EXPECT_EQ(safe_decimalNumberForKey(d, "num")->stringValue(), "2.5");

    auto date = safe_dateForKey(d, "when", "yyyy-MM-dd HH:mm");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->toDateTime().toLocalTime().toString("yyyy-MM-dd HH:mm"), "2019-09-24 17:05");
    EXPECT_FALSE(safe_dateForKey(d, "when", "dd/MM/yyyy"));
    EXPECT_FALSE(safe_dateForKey(d, "empty", "yyyy"));
    EXPECT_FALSE(safe_dateForKey(d, "num", "yyyy"));
}

TEST(SafeAccess, ArrayReadersTreatPastTheEndAsMissing)
{
    auto a = Array::make({String::make("<null>"), Null::null(), Number::fromInt(70000), String::make("x")});
    EXPECT_EQ(safe_objectWithIndex(a, 3), a->at(3));
    EXPECT_FALSE(safe_objectWithIndex(a, 4));
    EXPECT_FALSE(safe_objectWithIndex(Array::make(), 0));
    EXPECT_FALSE(safe_objectWithIndex(a, std::numeric_limits<uint64_t>::max()));
    EXPECT_FALSE(safe_stringWithIndex(a, 0)) << "\"<null>\" reads as nothing at an index";
    EXPECT_FALSE(safe_stringWithIndex(a, 1));
    EXPECT_EQ(safe_stringWithIndex(a, 2)->value(), "70000");
    EXPECT_EQ(safe_int16WithIndex(a, 2), 4464);
    EXPECT_EQ(safe_integerWithIndex(a, 9), 0);
    EXPECT_DOUBLE_EQ(safe_CGFloatWithIndex(a, 9), 0.0);
}

TEST(SafeAccess, WritersNeverStoreNothingAndBoxScalars)
{
    auto d = Dictionary::make({{"name", String::make("old")}});
    safe_setObj(d, nullptr, "name");
    EXPECT_EQ(as<String>(d->value("name"))->value(), "old");
    safe_setString(d, QString(), "name");
    EXPECT_FALSE(d->contains("name"));
    safe_setString(d, QStringLiteral(""), "empty");
    EXPECT_TRUE(d->contains("empty")) << "an empty text is a text";
    safe_setInteger(d, 7, "version");
    safe_setBool(d, true, "flag");
    safe_setChar(d, -3, "c");
    EXPECT_EQ(as<Number>(d->value("version"))->type(), Number::Type::LongLong);
    EXPECT_TRUE(as<Number>(d->value("flag"))->isBool());
    EXPECT_EQ(as<Number>(d->value("c"))->charValue(), -3);
    safe_setString(d, QStringLiteral("v"), QString());
    EXPECT_EQ(d->count(), 4u);

    auto a = Array::make();
    safe_addObj(a, nullptr);
    safe_addString(a, QString());
    EXPECT_EQ(a->count(), 0u);
    safe_addString(a, QStringLiteral("s"));
    safe_addFloat(a, 1.5f);
    safe_addUnsignedInteger(a, 18446744073709551615ULL);
    ASSERT_EQ(a->count(), 3u);
    EXPECT_EQ(as<Number>(a->at(2))->unsignedLongLongValue(), 18446744073709551615ULL);
}

TEST(SafeMerge, DeepMergeReplacesLeavesAndMergesDictionaries)
{
    auto parse = [](const char *json) {
        return as<Dictionary>(JSONText::objectWithJSONString(QString(json)));
    };
    auto merged =
        safe_dictionaryByMerging(parse(R"({"a":1,"n":{"x":1,"y":2}})"), parse(R"({"b":2,"n":{"y":3}})"));
    EXPECT_TRUE(isEqual(merged, parse(R"({"a":1,"b":2,"n":{"x":1,"y":3}})")));
    EXPECT_TRUE(isEqual(safe_dictionaryByMerging(parse(R"({"n":{"x":1}})"), parse(R"({"n":5})")),
                        parse(R"({"n":5})")));
    EXPECT_TRUE(isEqual(safe_dictionaryByMerging(parse(R"({"l":[1]})"), parse(R"({"l":[2]})")),
                        parse(R"({"l":[2]})")));
    EXPECT_TRUE(isEqual(safe_dictionaryByMerging(parse(R"({"n":5})"), parse(R"({"n":{"x":1}})")),
                        parse(R"({"n":{"x":1}})")));

    auto first = parse(R"({"keep":{"deep":{"v":1}}})");
    auto result = safe_dictionaryByMergingWith(first, Dictionary::make());
    EXPECT_TRUE(isEqual(result, first));
    EXPECT_NE(result->value("keep"), first->value("keep")) << "nested dictionaries are new copies";
    as<Dictionary>(result->value("keep"))->setValue("added", Number::fromInt(1));
    EXPECT_FALSE(as<Dictionary>(first->value("keep"))->contains("added"));

    auto shallow = safe_dictionaryByAddingEntriesFromDictionary(parse(R"({"n":{"x":1},"a":1})"),
                                                                parse(R"({"n":{"y":2}})"));
    EXPECT_TRUE(isEqual(shallow, parse(R"({"n":{"y":2},"a":1})")));
    auto keys = Set::make();
    keys->insert(String::make("a"));
    EXPECT_TRUE(isEqual(safe_dictionaryByRemovingEntriesWithKeys(shallow, keys), parse(R"({"n":{"y":2}})")));
    EXPECT_TRUE(shallow->contains("a")) << "the receiver is untouched";
}

TEST(JSONText, TextRoundTripsAndRejectsNonJson)
{
    EXPECT_FALSE(JSONText::objectWithJSONString(QStringLiteral("not json")));
    EXPECT_FALSE(JSONText::objectWithJSONString(QString()));
    EXPECT_FALSE(JSONText::objectWithJSONString(platform::StringPtr()));
    auto object = as<Dictionary>(JSONText::objectWithJSONString(QStringLiteral(R"({"a":[1,2]})")));
    ASSERT_TRUE(object);
    object->setValue("b", String::make("mutable"));
    auto text = JSONText::stringWithJSONObject(object);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->value().contains('\n'));
    EXPECT_TRUE(isEqual(JSONText::objectWithJSONString(text), object));
    EXPECT_FALSE(JSONText::stringWithJSONObject(String::make("x")));
    EXPECT_FALSE(JSONText::stringWithJSONObject(Array::make({Number::fromDouble(NAN)})));
    EXPECT_FALSE(safe_JSONString(Dictionary::make({{"d", platform::Data::make("x")}})));
    EXPECT_TRUE(safe_JSONString(object));
    EXPECT_TRUE(JSONText::objectWithJSONData("5", 4));
    EXPECT_FALSE(JSONText::objectWithJSONData("5"));
}
