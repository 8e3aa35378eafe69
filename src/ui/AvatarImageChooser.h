#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

namespace quorvin {

// Lets the user pick the one image file that becomes the avatar. The account sheet asks through
// this interface, so tests hand in a chooser of their own instead of a file dialog.
class AvatarImageChooser {
public:
    struct Result {
        // The chosen files; empty when the user cancelled.
        QList<QUrl> files;
        // Why choosing failed, when it did.
        std::optional<QString> error;
    };

    virtual ~AvatarImageChooser() = default;

    // Opens the chooser over `parent` and returns at once; `done` runs later, once, unless
    // `parent` is gone by then.
    virtual void choose(QWidget *parent, std::function<void(Result)> done) = 0;
};

} // namespace quorvin
