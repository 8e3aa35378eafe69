#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// A JSON document that does not fit the record it should decode into, or a record that cannot be
// written as JSON. The description names the key path, e.g. "items[3].has_due_time: missing".
class JSONCodingError : public Error {
public:
    enum Code { Decoding = 1, Encoding = 2 };

    JSONCodingError(Code code, QString path, QString reason);

    static QString domainName();

    // Dotted key path with array indexes; empty for the document itself.
    const QString &path() const noexcept { return m_path; }
    const QString &reason() const noexcept { return m_reason; }

private:
    QString m_path {};
    QString m_reason {};
};

} // namespace quorvin
