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
    // Gets the fonts ready for the first frame: the font database lists the faces on a worker (it is
    // thread-safe) while the window is built, and for Chinese the CJK face is named right after the default
    // one, so Chinese text finds its glyphs without the font system's fallback search. Measured on the first
    // paint: about 3 ms and 7 ms of a 40 ms start.
    static void prepareInterfaceFonts(Language language);
};

} // namespace platform
