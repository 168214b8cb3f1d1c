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
    // thread-safe) while the window is built. Chinese text is set in the CJK face alone: its Latin letters
    // match its Han ones, and the window's text then needs no second face and no fallback search before it
    // can be laid out. Where that face is missing, the font database falls back to the default family.
    static void prepareInterfaceFonts(Language language);
};

} // namespace platform
