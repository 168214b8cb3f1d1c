// Feeds arbitrary answers (media type, body) to the catalog client's response handling: the JSON
// step, the template check and the view model's reading of the envelope. Every answer must end in exactly
// one outcome, success or failure, without crashing.
#include "Service/InstallationImageViewModel.h"
#include "Service/NetJSONType.h"
#include "Service/NetworkUtils.h"

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace platform;

// The font stack (fontconfig, FreeType, HarfBuzz and Qt's font database) keeps process-wide caches that it
// never frees; they are not ours to report.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libfreetype\nleak:libharfbuzz\nleak:libQt6Gui\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Catalog records measure their text, which needs a GUI application (offscreen).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const char *const types[] = {"application/json", "text/json", "text/javascript", "text/html", ""};
    const QByteArray mediaType(types[data[0] % 5]);
    const QByteArray body(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));

    std::optional<Error> error;
    const std::optional<QVariant> json = NetworkUtils::decodeJSON(mediaType, body, &error);
    if (error && json)
        std::abort(); // a failure never comes with a value

    const QVariantMap itemTemplate{{"name", NetJSONType::string()}, {"version", NetJSONType::string()}};
    const QVariant value = json.value_or(QVariant());
    (void)NetworkUtils::validateJSON(
        value, QVariantMap{{"code", NetJSONType::number()}, {"data", QVariantList{itemTemplate}}});
    (void)NetworkUtils::validateJSON(value, QVariantList{itemTemplate});

    if (error)
        return 0;
    auto model = std::make_shared<InstallationImageViewModel>();
    const auto items = model->catalogFromAnswer(json);
    if (items) {
        for (const auto &item : *items)
            if (!item || item->cellHeight() < 30)
                std::abort();
    }
    (void)model->updateLinkFromAnswer(json);
    (void)model->message();
    return 0;
}
