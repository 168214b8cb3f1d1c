#include "Platform/Values/PropertyList.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <plist/plist.h>

using namespace platform;

TEST(PropertyList, ReadsXmlAndBinaryAlikeIntoQtValues)
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
    const std::optional<QVariant> parsed = PropertyList::parse(xml);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->typeId(), QMetaType::QVariantMap);
    const QVariantMap fromXml = parsed->toMap();
    EXPECT_EQ(fromXml.value("CFBundleDisplayName"), "Install macOS Mojave");
    EXPECT_EQ(fromXml.value("Count"), QVariant(qint64(-5)));
    EXPECT_EQ(fromXml.value("Ratio"), QVariant(0.25));
    EXPECT_EQ(fromXml.value("Flag"), QVariant(true));
    EXPECT_EQ(fromXml.value("When").toDateTime().toSecsSinceEpoch(), 1569344400);
    EXPECT_EQ(fromXml.value("Blob"), QVariant(QByteArray("\x00\x01\x02", 3)));
    EXPECT_EQ(fromXml.value("List"), QVariant(QVariantList{"a", qint64(2)}));

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
    EXPECT_EQ(PropertyList::parse(binary), parsed);
}

TEST(PropertyList, NonPlistInputGivesNothing)
{
    EXPECT_FALSE(PropertyList::parse(""));
    EXPECT_FALSE(PropertyList::parse("not a plist at all"));
    EXPECT_FALSE(PropertyList::parse("bplist00garbage"));
    EXPECT_FALSE(PropertyList::readFile("/nonexistent/Info.plist"));
    EXPECT_TRUE(PropertyList::readDictionary("/nonexistent/Info.plist").isEmpty());
}
