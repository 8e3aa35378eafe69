#pragma once

#include "ViewRig.h"
#include "account/CloudAccount.h"
#include "support/cloudserver/CloudServerSession.h"
#include "support/cloudserver/CloudServerUser.h"
#include "ui/AccountPasswordEditorModel.h"
#include "ui/AccountPhoneEditorModel.h"
#include "ui/AccountPopoverModel.h"
#include "ui/ContentViewModel.h"

#include <chrono>
#include <memory>
#include <optional>

namespace quorvin::test {

inline QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

// The sheet's models on a real service, signed in to the test cloud as this machine.
struct SheetRig : ViewRig {
    QString phone = u8("13902468135");
    QString userId;
    QString token;
    std::unique_ptr<ContentViewModel> content;
    std::unique_ptr<AccountPopoverModel> popover;
    std::unique_ptr<AccountPhoneEditorModel> phoneEditor;
    std::unique_ptr<AccountPasswordEditorModel> passwordEditor;

    explicit SheetRig(std::optional<QString> password = std::nullopt)
    {
        userId = server.createUser(u8("+86") + phone, password, u8("小林"));
        // This service shows the number in full, so the editors can offer it.
        for (CloudServerIdentity &identity : server.user(userId)->identities) {
            identity.displayLabel = u8("+86 139 0246 8135");
        }
        token = server.createSession(userId, u8("mqv"), u8("mqv_this_machine"));
        account().applyCloudAuthToken(token, u8("test"));
        account().rememberCloudPhoneNumber(phone);
        runInVirtualTime(clock, account().refreshCloudSession(u8("startup")));
        runInVirtualTime(clock, account().refreshCloudProfile(u8("startup"), false));
        content = std::make_unique<ContentViewModel>(*service, defaults, *appearance);
        popover = std::make_unique<AccountPopoverModel>(*content);
        phoneEditor = std::make_unique<AccountPhoneEditorModel>(*popover);
        passwordEditor = std::make_unique<AccountPasswordEditorModel>(*popover);
        content->edit([](ContentViewState &state) { state.showingAccountPopover = true; });
        popover->appear();
        settle();
    }
    void settle() { clock.advance(std::chrono::seconds(1)); }
    const ContentViewState &state() const { return content->state(); }
    qsizetype requests(const char *path) const { return server.journalFor(u8(path)).size(); }
};

} // namespace quorvin::test
