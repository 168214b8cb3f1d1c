#pragma once

#include <QLocale>

namespace platform {

// The interface's texts are written in Simplified Chinese; an English translation is compiled in
// (:/i18n/bootdrive_en.qm). The user's locale chooses between them.
class Localization
{
public:
    enum class Language
    {
        Chinese,
        English,
    };

    // The first of the locale's interface languages (LANGUAGE, then LC_ALL, LC_MESSAGES or LANG for the
    // system locale) that the interface has: English for en*, Chinese for zh*; Chinese when none is.
    static Language languageFor(const QLocale &locale);
    // Installs the translations of the language into the running application: for English our own; for
    // Chinese Qt's, so its dialogs (the file picker, message boxes) match the interface. False when they
    // are missing (the interface then stays in Chinese, Qt's dialogs in English).
    static bool installInterfaceTranslations(Language language);
    // For the user's locale.
    static bool installInterfaceTranslations();
    // Gets the fonts ready for the first frame. The font system's set-up (reading its configuration and
    // listing every face) is the largest part of showing the window; it starts at once on a worker (the font
    // database is thread-safe) while the window is built. For Chinese the CJK face is named right after the
    // default one, so Chinese text finds its glyphs without the font system's fallback search.
    static void prepareInterfaceFonts(Language language);
};

} // namespace platform
