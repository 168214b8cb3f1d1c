#pragma once

#include "Platform/Values/Object.h"

#include <QString>

class NetBaseRequest;

// Helpers of the request framework: the JSON template check and the answer's text encoding.
class NetworkUtils
{
public:
    // Whether the decoded JSON matches the template (NetJSONType kinds at the leaves; a dictionary template
    // requires each of its keys; an array template's first element applies to every element).
    static bool validateJSON(const platform::ObjectPtr &json, const platform::ObjectPtr &validator);
    // The canonical name of the answer's declared character set, UTF-8 when it declares none or one that
    // is not known.
    static QString stringEncodingWithRequest(const NetBaseRequest &request);
};
