#include "cloud/ReadableHTTPError.h"

#include "cloud/Strings.h"

#include <QStringDecoder>

namespace quorvin {

QString readableServerErrorBody(const QString &body)
{
    QString trimmed = body.trimmed();
    if (trimmed.isEmpty()) {
        return {};
    }
    const QString lowered = trimmed.toLower();
    for (const auto &[phrase, message] : CloudText::serverErrorMessages) {
        if (lowered.contains(QString::fromUtf16(phrase))) {
            return QString::fromUtf16(message);
        }
    }
    return trimmed;
}

QString readableHTTPErrorMessage(int statusCode, const QString &body)
{
    const QString message = readableServerErrorBody(body);
    if (message.isEmpty()) {
        return CloudText::httpStatusPrefix + QString::number(statusCode);
    }
    return message + CloudText::httpStatusSuffixOpen + QString::number(statusCode) + CloudText::httpStatusSuffixClose;
}

QString decodeUtf8OrEmpty(const QByteArray &bytes)
{
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return {};
    }
    return text;
}

} // namespace quorvin
