#include "Platform/Text/Localization.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QThreadPool>
#include <QTranslator>

namespace platform {

namespace {

bool install(QTranslator *translator, bool loaded)
{
    if (!loaded) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool isLanguage(const QString &tag, QLatin1String language)
{
    return tag.startsWith(language, Qt::CaseInsensitive) &&
           (tag.size() == language.size() || tag.at(language.size()) == QLatin1Char('-') ||
            tag.at(language.size()) == QLatin1Char('_'));
}

} // namespace

Localization::Language Localization::languageFor(const QLocale &locale)
{
    for (const QString &tag : locale.uiLanguages()) {
        if (isLanguage(tag, QLatin1String("en")))
            return Language::English;
        if (isLanguage(tag, QLatin1String("zh")))
            return Language::Chinese;
    }
    return Language::Chinese;
}

bool Localization::installInterfaceTranslations(Language language)
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return false;
    auto *translator = new QTranslator(app);
    if (language == Language::English)
        return install(translator, translator->load(QStringLiteral(":/i18n/bootdrive_en.qm")));
    return install(translator,
                   translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                                    QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
}

void Localization::prepareInterfaceFonts(Language language)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    // The global pool finishes its work before the application goes away.
    QThreadPool::globalInstance()->start([] { (void)QFontDatabase::families(); });
    if (language != Language::Chinese)
        return;
    QFont font = QGuiApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC")});
    QGuiApplication::setFont(font);
}

bool Localization::installInterfaceTranslations()
{
    return installInterfaceTranslations(languageFor(QLocale::system()));
}

} // namespace platform
