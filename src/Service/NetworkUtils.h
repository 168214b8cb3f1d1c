#pragma once

#include "Platform/Values/Error.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

class NetBaseRequest;

// Helpers of the request framework: the JSON step and the template check, and the answer's media type and
// text encoding.
class NetworkUtils
{
public:
    // Whether the decoded JSON matches the template (NetJSONType kinds at the leaves; a dictionary template
    // requires each of its keys; an array template's first element applies to every element).
    static bool validateJSON(const QVariant &json, const QVariant &validator);
    // The canonical name of the answer's declared character set, UTF-8 when it declares none or one that
    // is not known.
    static QString stringEncodingWithRequest(const NetBaseRequest &request);
    // The media type (lower case, without parameters) and the charset parameter of a Content-Type value;
    // empty texts for what it does not declare.
    static void parseContentType(const QByteArray &value, QString *mimeType, QString *charset);
    // The JSON step: a body must be declared as application/json, text/json or text/javascript and parse;
    // an empty or single-space body is no value. Values keep their kinds (the text "1001" stays text), for
    // the tolerant readers. On failure nothing, with the reason in error.
    static std::optional<QVariant> decodeJSON(const QByteArray &contentType, const QByteArray &body,
                                              std::optional<platform::Error> *error);
};
