#pragma once

#include "Platform/Values/Error.h"

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>

// Base of the installer record: the success flag and message of a service answer, plus file, size and
// shell utilities offered as class operations.
class BaseModel
{
public:
    BaseModel() = default;
    // Reads {"state": "M00000" on success, "message": text}.
    explicit BaseModel(const QVariantMap &dictionary);
    virtual ~BaseModel() = default;

    static std::shared_ptr<BaseModel> networkingErrorModelWithNSError(const platform::Error &error);

    bool requestSuccessed() const { return m_requestSuccessed; }
    void setRequestSuccessed(bool value) { m_requestSuccessed = value; }
    const QString &errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const QString &value) { m_errorMessage = value; }

    // Runs the command line through /bin/bash -c and returns its standard output (UTF-8); blocks until the
    // command closes its output. The exit status is not looked at.
    static QString cmdWithShell(const QString &command);
    // The item's own size; 0 when nothing is there.
    static int64_t fileSizeAtPath(const QString &path);
    // A folder: the sum of the sizes of everything below it; otherwise the item's own size.
    static int64_t sizeAtPath(const QString &path);
    // Byte count as text with two decimals. At exactly 1 MiB and 1 GiB the larger unit is used.
    static QString fileSizeString(int64_t bytes);
    // Kibibyte count as text; exactly 1 GiB (1,048,576 KiB) is written in GB.
    static QString fileSizeKB(int64_t kibibytes);

private:
    bool m_requestSuccessed = false;
    QString m_errorMessage;
};
