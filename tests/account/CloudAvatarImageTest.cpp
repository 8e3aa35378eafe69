#include "account/CloudAvatarImage.h"
#include "AvatarPictures.h"
#include "model/SyncError.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// A JPEG of `image` with the orientation in an "Exif" segment right after the start marker.
QByteArray jpegWithOrientation(const QImage &image, quint16 orientation)
{
    const QByteArray jpeg = encoded(image, "jpeg");
    const QByteArray payload = QByteArray("Exif\0\0", 6) + exifOrientation(orientation);
    QByteArray segment("\xff\xe1\0\0", 4);
    qToBigEndian<quint16>(quint16(payload.size() + 2), segment.data() + 2);
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

// Bytes this process has read so far; -1 where the system does not tell.
qint64 bytesReadByThisProcess()
{
    QFile io(u"/proc/self/io"_s);
    if (!io.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray text = io.readAll();
    const qsizetype at = text.indexOf("rchar: ");
    return at < 0 ? -1 : text.mid(at + 7, text.indexOf('\n', at) - at - 7).toLongLong();
}

QString failureText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const SyncError &error) {
        return error.description();
    }
    return u"<no error>"_s;
}

TEST(CloudAvatarImageTest, OrientedTransparentPngBecomesAnUprightWhiteBackedJpegThumbnail)
{
    // Stored lying on its side: an opaque red left half and a transparent right half. Orientation
    // 6 turns it a quarter clockwise, which puts the red half on top.
    const QImage stored = halves(QSize(1024, 512), Qt::transparent);
    const QImage avatar = decodeJpeg(CloudAvatarImage::jpegAvatarData(pngWithOrientation(stored, 6), 512));
    EXPECT_EQ(avatar.size(), QSize(256, 512));
    EXPECT_FALSE(avatar.hasAlphaChannel());
    EXPECT_FALSE(avatar.isGrayscale());
    expectColor(avatar, {128, 64}, Qt::red);
    expectColor(avatar, {128, 448}, Qt::white);

    // Orientation 8 turns the other way (red below); a small picture is never enlarged.
    const QImage small
        = decodeJpeg(CloudAvatarImage::jpegAvatarData(pngWithOrientation(stored.scaled(40, 20), 8), 512));
    EXPECT_EQ(small.size(), QSize(20, 40));
    expectColor(small, {10, 5}, Qt::white);
    expectColor(small, {10, 35}, Qt::red);

    // A camera photo held upright: stored wide, turned by its Exif orientation.
    const QImage camera = halves(QSize(2000, 1500), Qt::white);
    const QImage upright = decodeJpeg(CloudAvatarImage::jpegAvatarData(jpegWithOrientation(camera, 6), 512));
    EXPECT_EQ(upright.size(), QSize(384, 512));
    expectColor(upright, {192, 64}, Qt::red);
    expectColor(upright, {192, 448}, Qt::white);
}

TEST(CloudAvatarImageTest, FilesThatAreNoPictureOrTooLargeAreRefusedWithTheirTexts)
{
    QTemporaryDir dir;
    const auto writeFile = [&](const QString &name, const QByteArray &content, qint64 size = -1) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        if (size >= 0) {
            EXPECT_TRUE(file.resize(size)); // sparse: costs no disk
        }
        return file.fileName();
    };

    EXPECT_EQ(failureText([] { CloudAvatarImage::jpegAvatarData("just some notes\n", 512); }), u"请选择图片文件"_s);
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    const QByteArray png = pngWithOrientation(picture, 1);
    EXPECT_EQ(failureText([&] { CloudAvatarImage::jpegAvatarData(png.left(60), 512); }), u"头像图片读取失败"_s);

    const CloudUserAvatarUploadRequest body = CloudAvatarImage::avatarUploadRequest(writeFile(u"avatar.png"_s, png));
    EXPECT_EQ(body.content_type, u"image/jpeg"_s);
    const QByteArray jpeg
        = QByteArray::fromBase64(body.data_base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    EXPECT_TRUE(jpeg.startsWith("\xff\xd8\xff"));
    EXPECT_EQ(decodeJpeg(jpeg).size(), QSize(64, 64));

    const QString missing = failureText([&] { CloudAvatarImage::avatarUploadRequest(dir.filePath(u"gone.png"_s)); });
    EXPECT_NE(missing, u"<no error>"_s);
    EXPECT_NE(missing, u"头像图片太大，请换一张图片"_s);

    // One byte over 64 MiB is refused before a byte of it is read.
    const QString huge = writeFile(u"huge.png"_s, png, CloudAvatarImage::maxFileBytes + 1);
    const qint64 before = bytesReadByThisProcess();
    EXPECT_EQ(failureText([&] { CloudAvatarImage::avatarUploadRequest(huge); }), u"头像图片太大，请换一张图片"_s);
    const qint64 after = bytesReadByThisProcess();
    if (before >= 0 && after >= 0) {
        EXPECT_LT(after - before, 1024 * 1024);
    }
}

} // namespace
