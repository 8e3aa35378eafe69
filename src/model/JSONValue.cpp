#include "model/JSONValue.h"

#include "model/JSONCodingError.h"
#include "model/Strings.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace quorvin {

JSONValue::Object JSONValue::stringMap(const QMap<QString, QString> &map)
{
    Object result;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        result.insert(it.key(), JSONValue(it.value()));
    }
    return result;
}

namespace {
// Keys are compared as Unicode text too: a precomposed and a decomposed spelling name one key.
bool sameUnderNormalizedKeys(const JSONValue::Object &x, const JSONValue::Object &y)
{
    const auto normalized = [](const JSONValue::Object &object) {
        JSONValue::Object result;
        for (auto it = object.cbegin(); it != object.cend(); ++it) {
            result.insert(it.key().normalized(QString::NormalizationForm_C), it.value());
        }
        return result;
    };
    const JSONValue::Object nx = normalized(x);
    const JSONValue::Object ny = normalized(y);
    if (nx.size() != ny.size()) {
        return false;
    }
    for (auto it = nx.cbegin(), jt = ny.cbegin(); it != nx.cend(); ++it, ++jt) {
        if (it.key() != jt.key() || !(it.value() == jt.value())) {
            return false;
        }
    }
    return true;
}
} // namespace

bool operator==(const JSONValue &a, const JSONValue &b)
{
    if (a.m_kind != b.m_kind) {
        return false;
    }
    switch (a.kind()) {
    case JSONValue::Kind::Null:
        return true;
    case JSONValue::Kind::Bool:
        return *a.boolValue() == *b.boolValue();
    case JSONValue::Kind::Number:
        return *a.numberValue() == *b.numberValue();
    case JSONValue::Kind::String: {
        const QString &x = *a.stringValue();
        const QString &y = *b.stringValue();
        return x == y || x.normalized(QString::NormalizationForm_C) == y.normalized(QString::NormalizationForm_C);
    }
    case JSONValue::Kind::Array:
        return *a.arrayValue() == *b.arrayValue();
    case JSONValue::Kind::Object: {
        const auto &x = *a.objectValue();
        const auto &y = *b.objectValue();
        if (x.size() != y.size()) {
            return false;
        }
        for (auto it = x.cbegin(), jt = y.cbegin(); it != x.cend(); ++it, ++jt) {
            if (it.key() != jt.key()) {
                return sameUnderNormalizedKeys(x, y);
            }
            if (!(it.value() == jt.value())) {
                return false;
            }
        }
        return true;
    }
    }
    return false;
}

JSONValue JSONValue::fromQJsonValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return JSONValue();
    case QJsonValue::Bool:
        return JSONValue(value.toBool());
    case QJsonValue::Double:
        return JSONValue(value.toDouble());
    case QJsonValue::String:
        return JSONValue(value.toString());
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        Array result;
        result.reserve(array.size());
        for (const auto &element : array) {
            result.append(fromQJsonValue(element));
        }
        return JSONValue(std::move(result));
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        Object result;
        for (auto it = object.begin(); it != object.end(); ++it) {
            result.insert(it.key(), fromQJsonValue(it.value()));
        }
        return JSONValue(std::move(result));
    }
    case QJsonValue::Undefined:
        break;
    }
    throw JSONCodingError(JSONCodingError::Decoding, QString(), ModelText::unsupportedJsonValue);
}

QJsonValue JSONValue::toQJsonValue() const
{
    switch (kind()) {
    case Kind::Null:
        return QJsonValue(QJsonValue::Null);
    case Kind::Bool:
        return QJsonValue(*boolValue());
    case Kind::Number:
        if (!std::isfinite(*numberValue())) {
            throw JSONCodingError(JSONCodingError::Encoding, QString(), QStringLiteral("non-finite number"));
        }
        return QJsonValue(*numberValue());
    case Kind::String:
        return QJsonValue(*stringValue());
    case Kind::Array: {
        QJsonArray array;
        for (const auto &element : *arrayValue()) {
            array.append(element.toQJsonValue());
        }
        return array;
    }
    case Kind::Object: {
        QJsonObject object;
        for (auto it = objectValue()->cbegin(); it != objectValue()->cend(); ++it) {
            object.insert(it.key(), it.value().toQJsonValue());
        }
        return object;
    }
    }
    return QJsonValue();
}

} // namespace quorvin
