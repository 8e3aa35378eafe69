#pragma once

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

// Pictures for the avatar tests: images with an orientation tag, and checks of what came out.
namespace quorvin::test {

inline quint32 crc32(QByteArrayView bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// An Exif block in big-endian TIFF layout holding only an orientation.
inline QByteArray exifOrientation(quint16 orientation)
{
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);
    const auto append16 = [&](quint16 value) { tiff.append(char(value >> 8)).append(char(value & 0xff)); };
    append16(1); // one directory entry
    append16(0x0112); // orientation
    append16(3); // SHORT
    tiff.append(QByteArray("\0\0\0\x01", 4)); // count 1
    append16(orientation);
    append16(0);
    tiff.append(QByteArray(4, '\0')); // no next directory
    return tiff;
}

inline QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, format).write(image));
    return bytes;
}

// A PNG of `image` with the orientation in an "eXIf" chunk right after the header chunk.
inline QByteArray pngWithOrientation(const QImage &image, quint16 orientation)
{
    const QByteArray png = encoded(image, "png");
    const QByteArray typed = "eXIf" + exifOrientation(orientation);
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(typed.size() - 4), chunk.data());
    chunk += typed;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(typed), crc.data());
    chunk += crc;
    const qsizetype afterHeader = 8 + 12 + 13;
    return png.left(afterHeader) + chunk + png.mid(afterHeader);
}

inline QImage decodeJpeg(const QByteArray &jpeg)
{
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    EXPECT_EQ(reader.format(), "jpeg");
    return reader.read();
}

inline void expectColor(const QImage &image, QPoint at, QColor expected)
{
    const QColor actual = image.pixelColor(at);
    EXPECT_NEAR(actual.red(), expected.red(), 12) << at.x() << "," << at.y();
    EXPECT_NEAR(actual.green(), expected.green(), 12) << at.x() << "," << at.y();
    EXPECT_NEAR(actual.blue(), expected.blue(), 12) << at.x() << "," << at.y();
}

// A red left half beside a right half of the given colour.
inline QImage halves(QSize size, QColor right)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(right);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

} // namespace quorvin::test
