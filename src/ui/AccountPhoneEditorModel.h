#pragma once

#include <QString>

namespace quorvin {

class AccountPopoverModel;
class CloudAccount;
class ContentViewModel;
struct ContentViewState;

// The phone editor of the account sheet: a new mainland number, a code sent to it, and the link.
// The drafts live in the main view's state; the code request and the link are the account's
// operations, whose hint, status and busy flags the editor shows as they stand.
class AccountPhoneEditorModel {
public:
    explicit AccountPhoneEditorModel(AccountPopoverModel &popover);

    void openPhoneEditor();
    // Does nothing while a code request or a verification runs.
    void closePhoneEditor();

    // A new number drops the code and any challenge: a code is only ever sent with its own number.
    void setPhoneDraft(const QString &text);
    void setCodeDraft(const QString &text);

    // The field holds a valid mainland number that is not the account's own.
    bool profilePhoneChanged() const;
    bool isProfilePhoneCodeValid() const;
    QString profilePhoneCodeButtonLabel() const;
    bool canRequestProfilePhoneCode() const;
    bool canUpdateProfilePhone() const;
    QString numberPlaceholder() const;
    QString saveLabel() const;

    void requestCode();
    void save();

    CloudAccount &account() const;
    const ContentViewState &state() const;

private:
    QString normalizedDraft() const;

    AccountPopoverModel &m_popover;
    ContentViewModel &m_content;
};

} // namespace quorvin
