#pragma once

#include "ui/AvatarImageChooser.h"

namespace quorvin {

// The desktop's file dialog, window-modal over the account sheet, limited to one file of any
// image type the application can read.
class QtAvatarImageChooser final : public AvatarImageChooser {
public:
    void choose(QWidget *parent, std::function<void(Result)> done) override;
};

} // namespace quorvin
