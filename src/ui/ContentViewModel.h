#pragma once

#include "app/QuorvinAppearanceMode.h"
#include "ui/ContentViewState.h"

#include <QObject>
#include <QString>

namespace quorvin {

class QuorvinAppearanceController;
class QuorvinMacService;
class UserDefaults;

// The main view's model: whether the window shows the login card or the signed-in frame, the
// settings the views mirror from the stored settings, the shared view state, and the reactions to
// the account's published changes (closing an editor once its change went through, filling a
// development code).
class ContentViewModel : public QObject {
    Q_OBJECT
public:
    ContentViewModel(QuorvinMacService &service, UserDefaults &defaults, QuorvinAppearanceController &appearance,
        QObject *parent = nullptr);

    QuorvinMacService &service() const { return m_service; }

    // ---- settings, each with its default when never stored
    bool showDockIcon() const;
    void setShowDockIcon(bool value);
    bool showMenuBarIcon() const;
    void setShowMenuBarIcon(bool value);
    bool mainWindowShortcutEnabled() const;
    void setMainWindowShortcutEnabled(bool value);
    QString appearanceMode() const;
    qint64 systemAppearanceRevision() const;
    bool launchAtLoginPromptHandled() const;
    void setLaunchAtLoginPromptHandled(bool value);
    bool launchAtLoginEnabled() const;
    void setLaunchAtLoginEnabled(bool value);

    // ---- view state
    const ContentViewState &state() const { return m_state; }
    // Changes the view state; views re-read on changed().
    template <typename Edit> void edit(Edit &&change)
    {
        change(m_state);
        Q_EMIT changed();
    }

    // Signed in: the stored token, trimmed, is not empty. Nothing else is consulted.
    bool isLoggedIn() const;
    // Empty signed in; "登录 Quorvin" signed out.
    QString navigationTitle() const;

    // The mode shown as selected: the stored text as a mode; any other text counts as system.
    QuorvinAppearanceMode selectedAppearanceMode() const;
    // Stores the mode, then applies it.
    void selectAppearanceMode(QuorvinAppearanceMode mode);

Q_SIGNALS:
    // Anything the views show may have changed.
    void changed();

private:
    void accountChanged();

    QuorvinMacService &m_service;
    UserDefaults &m_defaults;
    QuorvinAppearanceController &m_appearance;
    ContentViewState m_state;

    // The account's values as last seen, to react to their changes only.
    QString m_seenToken;
    QString m_seenPhoneLoginStatus;
    QString m_seenProfileStatus;
    QString m_seenProfileNickname;
    QString m_seenPhoneCodeHint;
};

} // namespace quorvin
