// Every text of the interface has its English translation, and the user's locale picks the language.

#include "Platform/Text/Localization.h"
#include "UI/MainViewController.h"
#include "UI/OpenPanel.h"
#include "support/ChildRun.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

QSet<QString> placeholders(const QString &text)
{
    QSet<QString> found;
    static const QRegularExpression argument(QStringLiteral("%\\d+"));
    for (const auto &match : argument.globalMatch(text))
        found << match.captured();
    return found;
}

} // namespace

// lupdate over the sources and layouts, into a copy of the Linguist file: a text new in the code comes in
// unfinished, one the code no longer has is marked vanished; every translation keeps its placeholders.
TEST(Translations, EveryTextOfTheCodeAndTheLayoutsIsTranslated)
{
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("bootdrive_en.ts"));
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(BOOTDRIVE_SOURCE_DIR "/src/Resources/translations/bootdrive_en.ts"), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(LUPDATE_PROGRAM),
                  {QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral(BOOTDRIVE_SOURCE_DIR "/src"), QStringLiteral("-ts"), copy});
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString context, source;
    QStringList faults;
    int messages = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++messages;
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString translation = xml.readElementText();
            const QString where = context + QStringLiteral(": ") + source;
            if (!type.isEmpty())
                faults << where + QStringLiteral(" (") + type + QLatin1Char(')');
            else if (translation.trimmed().isEmpty())
                faults << where + QStringLiteral(" (empty)");
            else if (placeholders(source) != placeholders(translation))
                faults << where + QStringLiteral(" (placeholders differ: ") + translation + QLatin1Char(')');
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 40) << "lupdate found the interface's texts";
    EXPECT_TRUE(faults.isEmpty()) << "update with the target update_translations, then translate:\n"
                                  << faults.join(QLatin1Char('\n')).toStdString();
}

// English for a locale whose first interface language the application has is English, Chinese otherwise;
// LANGUAGE comes before LC_ALL, which comes before LC_MESSAGES and LANG.
TEST(Translations, TheLocaleChoosesTheLanguage)
{
    if (ChildRun::isChild()) {
        ASSERT_TRUE(platform::Localization::installInterfaceTranslations());
        MainViewController window;
        const bool english = qEnvironmentVariable("EXPECT_LANGUAGE") == QLatin1String("en");
        EXPECT_EQ(platform::Localization::languageFor(QLocale::system()),
                  english ? platform::Localization::Language::English
                          : platform::Localization::Language::Chinese);
        EXPECT_EQ(window.makeMacOSButton->text(), english ? "Start Creating" : "开始创建");
        EXPECT_EQ(window.selectMacOSButton->text(),
                  english ? "Choose the macOS Installer" : "选择系统安装文件");
        // Qt's own texts in the installer picker speak the window's language too.
        OpenPanel picker;
        auto *buttons = picker.findChild<QDialogButtonBox *>();
        ASSERT_TRUE(buttons && buttons->button(QDialogButtonBox::Cancel));
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), english ? "Cancel" : "取消");
        return;
    }
    struct Case
    {
        QStringList environment;
        const char *language;
    };
    const QList<Case> cases = {
        {{}, "zh"},
        {{"LANG=C.UTF-8"}, "zh"},
        {{"LANG=zh_CN.UTF-8"}, "zh"},
        {{"LANG=de_DE.UTF-8"}, "zh"},
        {{"LANG=en_US.UTF-8"}, "en"},
        {{"LANG=en_GB"}, "en"},
        {{"LANG=zh_CN.UTF-8", "LC_MESSAGES=en_US.UTF-8"}, "en"},
        {{"LANG=zh_CN.UTF-8", "LC_ALL=en_AU.UTF-8"}, "en"},
        {{"LANG=en_US.UTF-8", "LC_ALL=zh_TW.UTF-8"}, "zh"},
        {{"LANG=zh_CN.UTF-8", "LANGUAGE=fr:en"}, "en"},
        {{"LANG=en_US.UTF-8", "LANGUAGE=de:zh_CN:en"}, "zh"},
    };
    for (const Case &locale : cases) {
        QStringList environment = locale.environment;
        environment << QStringLiteral("EXPECT_LANGUAGE=") + locale.language;
        const ChildRun::Result result = ChildRun::runCurrentTest(environment);
        EXPECT_EQ(result.exitCode, 0) << locale.environment.join(' ').toStdString() << "\n"
                                      << result.output.toStdString();
    }
}
