#pragma once

#include "platform/shell/UpdateUserDriver.h"

#include <QUrl>

#include <functional>

namespace quorvin {

// The outcome of a check the user asked for, in message boxes. An available update shows the
// announcement's words, and "立即更新" opens its download page in the browser: the application
// installs nothing itself.
class QuorvinUpdateUserDriver final : public UpdateUserDriver {
public:
    // `openUrl` opens a page; the desktop's browser unless a test stands in.
    explicit QuorvinUpdateUserDriver(std::function<bool(const QUrl &)> openUrl = {});

    void showUpdateFound(const AppcastItem &item) override;
    void showUpToDate() override;
    void showUpdateCheckFailed(const QString &reason) override;

private:
    std::function<bool(const QUrl &)> m_openUrl;
};

} // namespace quorvin
