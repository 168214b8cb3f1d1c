#include "Service/JSONResponseSerializer.h"

#include "Platform/Values/JSONSerialization.h"

using namespace platform;

const QString JSONResponseSerializer::ErrorDomain = QStringLiteral("app.bootdrive.response.serialization");

JSONResponseSerializer::JSONResponseSerializer()
    : m_acceptableContentTypes{QStringLiteral("application/json"), QStringLiteral("text/json"),
                               QStringLiteral("text/javascript")}
{
    for (int code = 200; code < 300; ++code)
        m_acceptableStatusCodes.insert(code);
}

ObjectPtr JSONResponseSerializer::responseObjectForResponse(const HTTPURLResponsePtr &response,
                                                            const QByteArray &data,
                                                            std::optional<Error> *error) const
{
    if (error)
        error->reset();
    if (response) {
        std::optional<Error> failure;
        if (!data.isEmpty() && !m_acceptableContentTypes.contains(response->mimeType())) {
            const QString type =
                response->mimeType().isEmpty() ? QStringLiteral("(null)") : response->mimeType();
            failure = Error{ErrorDomain, CannotDecodeContentData,
                            QStringLiteral("Request failed: unacceptable content-type: %1").arg(type)};
        }
        // An unacceptable status outweighs the media type.
        if (!m_acceptableStatusCodes.contains(response->statusCode()))
            failure = Error{ErrorDomain, BadServerResponse,
                            QStringLiteral("Request failed: %1 (%2)")
                                .arg(response->localizedStatusText())
                                .arg(response->statusCode())};
        if (failure) {
            if (error)
                *error = failure;
            return {};
        }
    }
    // Servers answer "nothing" with an empty body or a lone space.
    if (data.isEmpty() || data == " ")
        return {};
    QString reason;
    ObjectPtr value = JSONSerialization::parse(data, 0, &reason);
    if (!value && error)
        *error =
            Error{ErrorDomain, CorruptData,
                  QStringLiteral("The data couldn’t be read because it isn’t in the correct format. (%1)")
                      .arg(reason)};
    return value;
}
