#include "Platform/Values/Array.h"
#include "Platform/Values/Data.h"
#include "Platform/Values/Date.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/JSONSerialization.h"
#include "Platform/Values/Null.h"
#include "Platform/Values/Number.h"
#include "Platform/Values/PropertyList.h"
#include "Platform/Values/Set.h"
#include "Platform/Values/String.h"

#include <gtest/gtest.h>
#include <limits>
#include <plist/plist.h>

using namespace platform;

TEST(JSONSerialization, ReadsEveryKindWithIntegersKeptAsIntegers)
{
    auto value = as<Dictionary>(JSONSerialization::parse(
        R"({"i": 9007199254740993, "d": 1.5, "b": true, "n": null, "s": "文字", "a": [1, "x"], "o": {"k": -3}})"));
    ASSERT_TRUE(value);
    auto i = as<Number>(value->value("i"));
    ASSERT_TRUE(i);
    EXPECT_FALSE(i->isFloatingPoint());
    EXPECT_EQ(i->longLongValue(), 9007199254740993LL);
    EXPECT_TRUE(as<Number>(value->value("d"))->isFloatingPoint());
    EXPECT_TRUE(as<Number>(value->value("b"))->isBool());
    EXPECT_TRUE(is<Null>(value->value("n")));
    EXPECT_EQ(as<String>(value->value("s"))->value(), QStringLiteral("文字"));
    EXPECT_EQ(as<Array>(value->value("a"))->count(), 2u);
    EXPECT_EQ(as<Number>(as<Dictionary>(value->value("o"))->value("k"))->longLongValue(), -3);
}

TEST(JSONSerialization, RejectsNonJsonAndFragmentsUnlessAllowed)
{
    QString error;
    EXPECT_FALSE(JSONSerialization::parse("{\"a\":", 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(JSONSerialization::parse("<html></html>"));
    EXPECT_FALSE(JSONSerialization::parse(""));
    EXPECT_FALSE(JSONSerialization::parse("42"));
    auto fragment = as<Number>(JSONSerialization::parse("42", JSONSerialization::FragmentsAllowed));
    ASSERT_TRUE(fragment);
    EXPECT_EQ(fragment->longLongValue(), 42);
    auto text = as<String>(JSONSerialization::parse(" \"x\" ", JSONSerialization::FragmentsAllowed));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->value(), "x");
    // Two fragments are not one value.
    EXPECT_FALSE(JSONSerialization::parse("1, 2", JSONSerialization::FragmentsAllowed));
}

TEST(JSONSerialization, ValidityAndWriting)
{
    auto valid =
        Dictionary::make({{"a", Array::make({Number::fromInt(1), Null::null(), String::make("t")})}});
    EXPECT_TRUE(JSONSerialization::isValidJSONObject(valid));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(String::make("top-level text")));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Array::make({Number::fromDouble(std::nan(""))})));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(
        Array::make({Number::fromDouble(std::numeric_limits<double>::infinity())})));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Array::make({Date::make(0)})));
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Dictionary::make({{"s", Set::make()}})));

    bool ok = false;
    const QByteArray pretty = JSONSerialization::write(valid, true, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(pretty.contains('\n'));
    EXPECT_TRUE(isEqual(JSONSerialization::parse(pretty), valid));
    EXPECT_EQ(
        JSONSerialization::write(Array::make({Number::fromBool(false), Number::fromLongLong(-7)}), false),
        "[false,-7]");
    EXPECT_EQ(JSONSerialization::write(String::make("a\"b"), false), "\"a\\\"b\"");
}

TEST(PropertyList, ReadsXmlAndBinaryAlike)
{
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>CFBundleDisplayName</key><string>Install macOS Mojave</string>
  <key>Count</key><integer>-5</integer>
  <key>Ratio</key><real>0.25</real>
  <key>Flag</key><true/>
  <key>When</key><date>2019-09-24T17:00:00Z</date>
  <key>Blob</key><data>AAEC</data>
  <key>List</key><array><string>a</string><integer>2</integer></array>
</dict></plist>)";
    auto fromXml = as<Dictionary>(PropertyList::parse(xml));
    ASSERT_TRUE(fromXml);
    EXPECT_EQ(as<String>(fromXml->value("CFBundleDisplayName"))->value(), "Install macOS Mojave");
    EXPECT_EQ(as<Number>(fromXml->value("Count"))->longLongValue(), -5);
    EXPECT_DOUBLE_EQ(as<Number>(fromXml->value("Ratio"))->doubleValue(), 0.25);
    EXPECT_TRUE(as<Number>(fromXml->value("Flag"))->boolValue());
    EXPECT_DOUBLE_EQ(as<Date>(fromXml->value("When"))->timeIntervalSince1970(), 1569344400.0);
    EXPECT_EQ(as<Data>(fromXml->value("Blob"))->bytes(), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(as<Array>(fromXml->value("List"))->count(), 2u);

    // The same document in binary form, written by libplist itself.
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    ASSERT_TRUE(root);
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    plist_free(root);
    const QByteArray binary(bin, length);
    plist_to_bin_free(bin);
    ASSERT_TRUE(binary.startsWith("bplist00"));
    EXPECT_TRUE(isEqual(PropertyList::parse(binary), fromXml));
}

TEST(PropertyList, NonPlistInputGivesNothing)
{
    EXPECT_FALSE(PropertyList::parse(""));
    EXPECT_FALSE(PropertyList::parse("not a plist at all"));
    EXPECT_FALSE(PropertyList::parse("bplist00garbage"));
    EXPECT_FALSE(PropertyList::readFile("/nonexistent/Info.plist"));
}
