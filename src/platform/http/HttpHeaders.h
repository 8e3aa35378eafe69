#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

namespace quorvin {

// HTTP header fields in the order they were set. Names compare without regard to case.
class HttpHeaders {
public:
    using Field = std::pair<QByteArray, QByteArray>;

    HttpHeaders() = default;
    HttpHeaders(std::initializer_list<Field> fields)
        : m_fields(fields)
    {
    }

    // Replaces every field of that name.
    void set(const QByteArray &name, const QByteArray &value);
    void add(const QByteArray &name, const QByteArray &value) { m_fields.append({name, value}); }
    void remove(const QByteArray &name);

    bool contains(const QByteArray &name) const { return value(name).has_value(); }
    // The first field of that name.
    std::optional<QByteArray> value(const QByteArray &name) const;

    const QList<Field> &fields() const { return m_fields; }
    qsizetype size() const { return m_fields.size(); }

private:
    QList<Field> m_fields;
};

} // namespace quorvin
