#include "Platform/Text/TextEncoding.h"

#include <memory>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

namespace platform {

namespace {

struct ConverterCloser
{
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};

} // namespace

QString TextEncoding::canonicalName(const QString &ianaLabel)
{
    const QByteArray label = ianaLabel.trimmed().toLatin1();
    if (label.isEmpty())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const char *name = ucnv_getCanonicalName(label.constData(), "IANA", &status);
    if (U_FAILURE(status) || !name) {
        // Labels that are not IANA names but that ICU still knows as aliases ("utf8", say).
        status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(label.constData(), &status));
        if (U_FAILURE(status) || !converter)
            return {};
        status = U_ZERO_ERROR;
        name = ucnv_getName(converter.get(), &status);
        return U_SUCCESS(status) && name ? QString::fromLatin1(name) : QString();
    }
    return QString::fromLatin1(name);
}

std::optional<QString> TextEncoding::decode(const QByteArray &bytes, const QString &encodingName)
{
    const QString canonical = canonicalName(encodingName);
    if (canonical.isEmpty())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterCloser> converter(
        ucnv_open(canonical.toLatin1().constData(), &status));
    if (U_FAILURE(status) || !converter)
        return std::nullopt;
    // Invalid input is a failure, as the platform's decoder reports it, rather than replacement characters.
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    if (bytes.isEmpty())
        return QString(QLatin1String(""));
    QString out;
    qsizetype capacity = bytes.size() + 16;
    for (int attempt = 0; attempt < 2; ++attempt) {
        out.resize(capacity);
        status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter.get());
        const int32_t written = ucnv_toUChars(converter.get(), reinterpret_cast<UChar *>(out.data()),
                                              static_cast<int32_t>(out.size()), bytes.constData(),
                                              static_cast<int32_t>(bytes.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            capacity = written + 1;
            continue;
        }
        if (U_FAILURE(status))
            return std::nullopt;
        out.resize(written);
        return out;
    }
    return std::nullopt;
}

} // namespace platform
