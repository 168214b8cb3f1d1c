#include "Common/JSONText.h"
#include "Common/SafeMerge.h"
#include "Platform/Values/DecimalNumber.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using platform::DecimalNumber;

TEST(DecimalNumber, ParsesAndNormalises)
{
    EXPECT_EQ(DecimalNumber::fromString(u"12.3400").toString(), "12.34");
    EXPECT_EQ(DecimalNumber::fromString(u"-0.005").toString(), "-0.005");
    EXPECT_EQ(DecimalNumber::fromString(u" 1.5E3 ").toString(), "1500");
    EXPECT_EQ(DecimalNumber::fromString(u"2e-2").toString(), "0.02");
    EXPECT_EQ(DecimalNumber::fromString(u"-0").toString(), "0");
    EXPECT_EQ(DecimalNumber::fromString(u"123456789012345678901234567890").toLongLong(),
              std::numeric_limits<int64_t>::max());
    EXPECT_EQ(DecimalNumber::fromString(u"-123456789012345678901234567890").toLongLong(),
              std::numeric_limits<int64_t>::min());
    EXPECT_EQ(DecimalNumber::fromString(u"9007199254740993").toLongLong(), 9007199254740993LL);
    EXPECT_EQ(DecimalNumber::fromString(u"-2.9").toULongLong(), uint64_t(-2));
    EXPECT_DOUBLE_EQ(DecimalNumber::fromString(u"12.5").toDouble(), 12.5);
    EXPECT_FALSE(DecimalNumber::fromString(u"0.000").toBool());
    EXPECT_EQ(DecimalNumber::fromString(u"1e-200").toString(), "0") << "below the smallest exponent is lost";
    for (const char16_t *bad : {u"abc", u"1.2.3", u"1e", u"--1", u".", u"1e999", u"12abc"})
        EXPECT_TRUE(DecimalNumber::fromString(bad).isNaN());
    EXPECT_EQ(DecimalNumber::notANumber().toString(), "NaN");
    EXPECT_EQ(DecimalNumber::fromDouble(0.1).toString(), "0.1");
    EXPECT_TRUE(DecimalNumber::fromDouble(std::numeric_limits<double>::infinity()).isNaN());
    EXPECT_EQ(DecimalNumber::fromString(u"1.50"), DecimalNumber::fromString(u"1.5"));
}

TEST(DecimalNumber, TravelsInAVariantAsANumber)
{
    const QVariant decimal = QVariant::fromValue(DecimalNumber::fromString(u"2.50"));
    EXPECT_EQ(decimal, QVariant::fromValue(DecimalNumber::fromString(u"2.5")));
    const QVariantMap d{{"d", decimal}, {"nan", QVariant::fromValue(DecimalNumber::notANumber())}};
    EXPECT_EQ(SafeMerge::safe_numberForKey(d, "d"), decimal);
    EXPECT_EQ(SafeMerge::safe_integerForKey(d, "d"), 2);
    EXPECT_TRUE(SafeMerge::safe_boolForKey(d, "d"));
    EXPECT_FALSE(SafeMerge::safe_boolForKey(d, "nan"));
    EXPECT_EQ(SafeMerge::safe_decimalNumberForKey(d, "d"), decimal.value<DecimalNumber>());
    EXPECT_EQ(JSONText::write(QVariantList{decimal}, false), "[2.5]");
    EXPECT_FALSE(JSONText::isValidJSONObject(QVariantList{d.value("nan")}));
}

TEST(JSONText, ReadsEveryKindWithIntegersKeptAsIntegers)
{
    const std::optional<QVariant> decoded = JSONText::parse(
        R"({"i": 9007199254740993, "d": 1.5, "b": true, "n": null, "s": "文字", "a": [1, "x"], "o": {"k": -3},
            "max": 9223372036854775807, "min": -9223372036854775808})",
        0);
    ASSERT_TRUE(decoded);
    const QVariantMap value = decoded->toMap();
    EXPECT_EQ(value.value("i").typeId(), QMetaType::LongLong);
    EXPECT_EQ(value.value("i").toLongLong(), 9007199254740993LL);
    EXPECT_EQ(value.value("max").toLongLong(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(value.value("min").toLongLong(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(value.value("d").typeId(), QMetaType::Double);
    EXPECT_EQ(value.value("b").typeId(), QMetaType::Bool);
    EXPECT_EQ(value.value("n").typeId(), QMetaType::Nullptr) << "JSON null is the null marker";
    EXPECT_EQ(value.value("s"), QStringLiteral("文字"));
    EXPECT_EQ(value.value("a").toList().size(), 2);
    EXPECT_EQ(value.value("o").toMap().value("k").toLongLong(), -3);
}

TEST(JSONText, RejectsNonJsonAndFragmentsUnlessAllowed)
{
    QString error;
    EXPECT_FALSE(JSONText::parse("{\"a\":", 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(JSONText::parse("<html></html>", 0));
    EXPECT_FALSE(JSONText::parse("", 0));
    EXPECT_FALSE(JSONText::parse("42", 0));
    EXPECT_EQ(JSONText::parse("42", JSONText::FragmentsAllowed), QVariant(qint64(42)));
    EXPECT_EQ(JSONText::parse(" \"x\" ", JSONText::FragmentsAllowed), QVariant("x"));
    // Two fragments are not one value.
    EXPECT_FALSE(JSONText::parse("1, 2", JSONText::FragmentsAllowed));
}

TEST(JSONText, ValidityAndWriting)
{
    const QVariantMap valid{{"a", QVariantList{1, QVariant::fromValue(nullptr), "t"}}};
    EXPECT_TRUE(JSONText::isValidJSONObject(valid));
    EXPECT_FALSE(JSONText::isValidJSONObject("top-level text"));
    EXPECT_FALSE(JSONText::isValidJSONObject(QVariantList{std::numeric_limits<double>::infinity()}));
    EXPECT_FALSE(JSONText::isValidJSONObject(QVariantList{QByteArray("bytes")}));
    EXPECT_FALSE(JSONText::isValidJSONObject(QVariantMap{{"s", QVariant::fromValue(QSet<QString>{"x"})}}));

    const std::optional<QByteArray> pretty = JSONText::write(valid, true);
    ASSERT_TRUE(pretty);
    EXPECT_TRUE(pretty->contains('\n'));
    EXPECT_EQ(JSONText::parse(*pretty, 0), QVariant(valid));
    EXPECT_EQ(
        JSONText::write(
            QVariantList{false, qint64(-7), QVariant::fromValue(quint64(18446744073709551615ULL))}, false),
        "[false,-7,18446744073709552000]");
    EXPECT_EQ(JSONText::write("a\"b", false), "\"a\\\"b\"");
}
