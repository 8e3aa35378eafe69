#include "platform/files/PrivateDirectory.h"

#include "platform/files/FileError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

// Creates `path` and its missing parents; the umask applies to `mode` as usual. Another process
// creating the same directory at the same time is no failure.
void makeDirectory(const QString &path, mode_t mode)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        return;
    }
    if (info.absolutePath() != info.absoluteFilePath()) {
        makeDirectory(info.absolutePath(), 0777);
    }
    if (::mkdir(QFile::encodeName(info.absoluteFilePath()).constData(), mode) != 0
        && !(errno == EEXIST && QFileInfo(path).isDir())) {
        throw FileError(info.absoluteFilePath(), errno, u"create the directory"_s);
    }
}

} // namespace

void makePrivateDirectory(const QString &path)
{
    if (QFileInfo(path).isDir()) {
        return;
    }
    // Owner-only from the moment it exists, so it is never open to others even briefly.
    makeDirectory(path, 0700);
}

} // namespace quorvin
