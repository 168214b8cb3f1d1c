#pragma once

#include "Platform/Net/HTTPURLResponse.h"
#include "Platform/Values/Error.h"
#include "Platform/Values/Object.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <optional>

// The JSON decoding step: checks status and media type, then parses the body.
class JSONResponseSerializer
{
public:
    JSONResponseSerializer();

    const QSet<int> &acceptableStatusCodes() const { return m_acceptableStatusCodes; }
    void setAcceptableStatusCodes(const QSet<int> &codes) { m_acceptableStatusCodes = codes; }
    const QSet<QString> &acceptableContentTypes() const { return m_acceptableContentTypes; }
    void setAcceptableContentTypes(const QSet<QString> &types) { m_acceptableContentTypes = types; }

    // The decoded value; nothing for an empty (or single-space) body. On failure nothing, with the reason in
    // error: an unacceptable status, a media type outside the accepted ones for a non-empty body, or text
    // that is not JSON.
    platform::ObjectPtr responseObjectForResponse(const platform::HTTPURLResponsePtr &response,
                                                  const QByteArray &data,
                                                  std::optional<platform::Error> *error) const;

    static const QString ErrorDomain;
    enum ErrorCode : int64_t
    {
        CannotDecodeContentData = -1016,
        BadServerResponse = -1011,
        CorruptData = 3840,
    };

private:
    QSet<int> m_acceptableStatusCodes;
    QSet<QString> m_acceptableContentTypes;
};
