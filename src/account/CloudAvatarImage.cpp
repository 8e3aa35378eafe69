#include "account/CloudAvatarImage.h"

#include "account/Strings.h"
#include "model/SyncError.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <algorithm>

namespace quorvin {

namespace {

QSize thumbnailSize(const QSize &size, int maxDimension)
{
    const int longer = std::max(size.width(), size.height());
    if (longer <= maxDimension) {
        return size;
    }
    const double scale = double(maxDimension) / longer;
    return QSize(std::max(1, qRound(size.width() * scale)), std::max(1, qRound(size.height() * scale)));
}

// The orientation (1-8) of an Exif block in TIFF layout; 1 (upright) when there is none.
int exifOrientation(QByteArrayView tiff)
{
    if (tiff.size() < 8 || (!tiff.startsWith("II") && !tiff.startsWith("MM"))) {
        return 1;
    }
    const bool little = tiff.startsWith("II");
    const auto read16 = [&](qsizetype at) -> std::optional<quint16> {
        if (at < 0 || at + 2 > tiff.size()) {
            return std::nullopt;
        }
        return little ? qFromLittleEndian<quint16>(tiff.data() + at) : qFromBigEndian<quint16>(tiff.data() + at);
    };
    const auto read32 = [&](qsizetype at) -> std::optional<quint32> {
        if (at < 0 || at + 4 > tiff.size()) {
            return std::nullopt;
        }
        return little ? qFromLittleEndian<quint32>(tiff.data() + at) : qFromBigEndian<quint32>(tiff.data() + at);
    };
    const auto directory = read32(4);
    const auto count = directory ? read16(qsizetype(*directory)) : std::nullopt;
    if (read16(2) != 42 || !count) {
        return 1;
    }
    constexpr quint16 orientationTag = 0x0112;
    constexpr quint16 shortType = 3;
    for (quint16 i = 0; i < *count; ++i) {
        const qsizetype entry = qsizetype(*directory) + 2 + 12 * qsizetype(i);
        if (read16(entry) != orientationTag) {
            continue;
        }
        const auto value = read16(entry + 8);
        if (read16(entry + 2) != shortType || !value || *value < 1 || *value > 8) {
            return 1;
        }
        return *value;
    }
    return 1;
}

// The reader applies the orientation of JPEG files itself, but not the one a PNG carries in its
// "eXIf" chunk.
int pngExifOrientation(const QByteArray &png)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!png.startsWith(signature)) {
        return 1;
    }
    qsizetype at = signature.size();
    while (at + 12 <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArrayView type(png.constData() + at + 4, 4);
        if (length > quint64(png.size() - at - 12) || type == "IEND") {
            break;
        }
        if (type == "eXIf") {
            return exifOrientation(QByteArrayView(png.constData() + at + 8, length));
        }
        at += 12 + qsizetype(length);
    }
    return 1;
}

QImage oriented(const QImage &image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

} // namespace

QByteArray CloudAvatarImage::jpegAvatarData(const QByteArray &data, int maxDimension)
{
    maxDimension = std::max(1, maxDimension);
    QBuffer source;
    source.setData(data);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setQuality(100);
    if (!reader.canRead()) {
        throw SyncError::invalidRequest(AccountText::avatarNotAnImage);
    }
    const QByteArray format = reader.format();
    // Decoding straight to the thumbnail's size spares memory where the format allows it. The
    // scaling is uniform, so doing it before the orientation is applied gives the same picture.
    if (const QSize stored = reader.size(); stored.isValid() && !stored.isEmpty()) {
        reader.setScaledSize(thumbnailSize(stored, maxDimension));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        throw SyncError::invalidRequest(AccountText::avatarReadFailed);
    }
    if (format == "png" && reader.transformation() == QImageIOHandler::TransformationNone) {
        image = oriented(image, pngExifOrientation(data));
    }
    if (const QSize fitted = thumbnailSize(image.size(), maxDimension); fitted != image.size()) {
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.width() < 1 || image.height() < 1) {
        throw SyncError::invalidRequest(AccountText::avatarEmpty);
    }
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb)) {
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.convertToColorSpace(QColorSpace::SRgb);
    }

    QImage canvas(image.size(), QImage::Format_RGB32);
    if (canvas.isNull()) {
        throw SyncError::invalidRequest(AccountText::avatarProcessingFailed);
    }
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(canvas.rect(), image);
    }

    QByteArray jpeg;
    QBuffer target(&jpeg);
    target.open(QIODevice::WriteOnly);
    QImageWriter writer(&target, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(canvas)) {
        throw SyncError::invalidRequest(AccountText::avatarCompressionFailed);
    }
    return jpeg;
}

CloudUserAvatarUploadRequest CloudAvatarImage::avatarUploadRequest(const QString &filePath)
{
    if (QFileInfo(filePath).size() > maxFileBytes) {
        throw SyncError::invalidRequest(AccountText::avatarTooLarge);
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw SyncError::invalidRequest(file.errorString());
    }
    // The file may have grown since it was measured.
    const QByteArray data = file.read(maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        throw SyncError::invalidRequest(file.errorString());
    }
    if (data.size() > maxFileBytes) {
        throw SyncError::invalidRequest(AccountText::avatarTooLarge);
    }
    const QByteArray jpeg = jpegAvatarData(data, maxDimension);
    if (jpeg.size() > maxJPEGBytes) {
        throw SyncError::invalidRequest(AccountText::avatarTooLarge);
    }
    return CloudUserAvatarUploadRequest {AccountText::avatarContentType, QString::fromLatin1(jpeg.toBase64())};
}

} // namespace quorvin
