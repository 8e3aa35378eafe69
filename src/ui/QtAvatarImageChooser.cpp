#include "ui/QtAvatarImageChooser.h"

#include <QFileDialog>
#include <QImageReader>
#include <QStandardPaths>

namespace quorvin {

void QtAvatarImageChooser::choose(QWidget *parent, std::function<void(Result)> done)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setObjectName(QStringLiteral("avatarImageChooser"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    QStringList imageTypes;
    for (const QByteArray &type : QImageReader::supportedMimeTypes()) {
        imageTypes.append(QString::fromLatin1(type));
    }
    // One entry that takes every readable image, the way the user thinks of "a picture".
    dialog->setMimeTypeFilters(imageTypes);
    QStringList filters = dialog->nameFilters();
    QStringList patterns;
    for (const QByteArray &suffix : QImageReader::supportedImageFormats()) {
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(suffix));
    }
    filters.prepend(QStringLiteral("(") + patterns.join(u' ') + u')');
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.first());
    dialog->setDirectory(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int outcome) {
        Result result;
        if (outcome == QDialog::Accepted) {
            result.files = dialog->selectedUrls().mid(0, 1);
        }
        done(result);
    });
    dialog->open();
}

} // namespace quorvin
