#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// A file or directory that could not be written, created or locked. The code is the system's
// error number (ENOSPC for a full disk); the description names the file and the reason.
class FileError : public Error {
public:
    FileError(QString path, int systemError, QString action);

    static QString errorDomain();

    const QString &path() const noexcept { return m_path; }
    // The system's own words for the error ("No space left on device").
    const QString &reason() const noexcept { return m_reason; }

private:
    QString m_path;
    QString m_reason;
};

} // namespace quorvin
