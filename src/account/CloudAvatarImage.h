#pragma once

#include "model/CloudUserAvatarUploadRequest.h"

#include <QByteArray>
#include <QString>

namespace quorvin {

// Turns the picture the user chose into the avatar the cloud service takes: never the file as it
// is, but a thumbnail of at most 512 pixels on its longer side, upright, flattened onto white and
// encoded as a JPEG of quality 0.88, sent as Base64. Failures throw SyncError (invalid request)
// whose description is the text to show.
class CloudAvatarImage {
public:
    static constexpr int maxDimension = 512;
    // The largest JPEG sent, measured before Base64 (3 MiB; exactly this much is still sent).
    static constexpr qsizetype maxJPEGBytes = 3145728;
    // Larger files are refused before they are read: no picture worth an avatar is this big, and
    // reading one whole only to find that out would cost the memory it takes.
    static constexpr qint64 maxFileBytes = qint64(64) * 1024 * 1024;
    static constexpr int jpegQuality = 88;

    // The JPEG of the thumbnail of the image in `data`, with its orientation applied, at most
    // `maxDimension` pixels on the longer side (never enlarged), 8-bit RGB without alpha.
    static QByteArray jpegAvatarData(const QByteArray &data, int maxDimension);

    // Reads the file, converts it and checks the size: the body of the avatar upload.
    static CloudUserAvatarUploadRequest avatarUploadRequest(const QString &filePath);
};

} // namespace quorvin
