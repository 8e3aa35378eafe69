#pragma once

#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>

#include <variant>

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
        : m_value(value)
    {
    }
    JSONValue(double value)
        : m_value(value)
    {
    }
    JSONValue(int value)
        : m_value(double(value))
    {
    }
    JSONValue(qint64 value)
        : m_value(double(value))
    {
    }
    JSONValue(QString value)
        : m_value(std::move(value))
    {
    }
    JSONValue(const char *) = delete; // would silently become a bool
    JSONValue(Array value)
        : m_value(std::move(value))
    {
    }
    JSONValue(Object value)
        : m_value(std::move(value))
    {
    }

    Kind kind() const noexcept { return static_cast<Kind>(m_value.index() == 0 ? 5 : m_value.index() - 1); }
    bool isNull() const noexcept { return m_value.index() == 0; }

    // The payload of the matching case; nullptr for another case.
    const bool *boolValue() const noexcept { return std::get_if<bool>(&m_value); }
    const double *numberValue() const noexcept { return std::get_if<double>(&m_value); }
    const QString *stringValue() const noexcept { return std::get_if<QString>(&m_value); }
    const Array *arrayValue() const noexcept { return std::get_if<Array>(&m_value); }
    const Object *objectValue() const noexcept { return std::get_if<Object>(&m_value); }

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
    std::variant<std::monostate, bool, double, QString, Array, Object> m_value;
};

using JSONObject = JSONValue::Object;

} // namespace quorvin
