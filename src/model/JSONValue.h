#pragma once

#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>

namespace quorvin {

// Any JSON value inside an otherwise typed record (the free-form maps of a reminder, a rule's source
// map, a diagnostics body). Every number is held as a double. Copies are independent values.
class JSONValue {
public:
    enum class Kind { Bool, Number, String, Array, Object, Null };
    using Array = QList<JSONValue>;
    using Object = QMap<QString, JSONValue>;

    JSONValue() noexcept = default;
    JSONValue(std::nullptr_t) noexcept { }
    JSONValue(bool value)
        : m_kind(Kind::Bool)
        , m_bool(value)
    {
    }
    JSONValue(double value)
        : m_kind(Kind::Number)
        , m_number(value)
    {
    }
    JSONValue(int value)
        : JSONValue(double(value))
    {
    }
    JSONValue(qint64 value)
        : JSONValue(double(value))
    {
    }
    JSONValue(QString value)
        : m_kind(Kind::String)
        , m_string(std::move(value))
    {
    }
    JSONValue(const char *) = delete; // would silently become a bool
    JSONValue(Array value)
        : m_kind(Kind::Array)
        , m_array(std::move(value))
    {
    }
    JSONValue(Object value)
        : m_kind(Kind::Object)
        , m_object(std::move(value))
    {
    }

    Kind kind() const noexcept { return m_kind; }
    bool isNull() const noexcept { return m_kind == Kind::Null; }

    // The payload of the matching case; nullptr for another case.
    const bool *boolValue() const noexcept { return m_kind == Kind::Bool ? &m_bool : nullptr; }
    const double *numberValue() const noexcept { return m_kind == Kind::Number ? &m_number : nullptr; }
    const QString *stringValue() const noexcept { return m_kind == Kind::String ? &m_string : nullptr; }
    const Array *arrayValue() const noexcept { return m_kind == Kind::Array ? &m_array : nullptr; }
    const Object *objectValue() const noexcept { return m_kind == Kind::Object ? &m_object : nullptr; }

    // Wraps each value as a string case.
    static Object stringMap(const QMap<QString, QString> &map);

    // Same case and equal payloads: numbers by IEEE rules, texts as canonically equivalent Unicode,
    // arrays element by element, objects by key set and value.
    friend bool operator==(const JSONValue &a, const JSONValue &b);
    friend bool operator!=(const JSONValue &a, const JSONValue &b) { return !(a == b); }

    // Conversion from and to Qt's JSON tree. fromQJsonValue never fails for a parsed document;
    // an undefined value throws JSONCodingError "Unsupported JSON value". toQJsonValue throws
    // JSONCodingError on a non-finite number.
    static JSONValue fromQJsonValue(const QJsonValue &value);
    QJsonValue toQJsonValue() const;

private:
    // Plain members rather than a variant: the payloads are implicitly shared, so the unused ones
    // cost a null pointer each.
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    double m_number = 0;
    QString m_string;
    Array m_array;
    Object m_object;
};

using JSONObject = JSONValue::Object;

} // namespace quorvin
