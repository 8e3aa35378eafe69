#pragma once

#include "app/QuorvinAppContext.h"
#include "ui/ContentViewModel.h"
#include "ui/QuorvinLoginView.h"

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QStackedLayout;

namespace quorvin {

class AccountAvatarButton;
class AccountAvatarImageLoader;
class AccountSheet;
class DashboardView;
class MainWindowDialogs;
class QuorvinAppearanceModeControl;
class QuorvinToolbarButton;

class QuorvinWindowPresentation;

// The one view of the main window. Signed out it is the login card; signed in it is the frame:
// a toolbar row (the title with its update button in the centre, the window's actions at the
// trailing end) above the page that holds the dashboard. The window around it follows the
// sign-in state the moment the stored token appears or goes.
class ContentView : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(const QuorvinAppContext &context, QWidget *parent = nullptr);
    ~ContentView() override;

    ContentViewModel &model() { return m_model; }

    // The login card while signed out; null while signed in. A new card each time.
    QuorvinLoginView *loginView() const { return m_login; }
    // The signed-in frame's toolbar row and the page below it, where the dashboard goes.
    QWidget *toolbar() const { return m_toolbar; }
    DashboardView *authenticatedContent() const { return m_authenticatedContent; }
    MainWindowDialogs *dialogs() const { return m_dialogs; }
    QuorvinAppearanceModeControl *appearanceControl() const { return m_appearanceControl; }

    // ---- the account sheet
    // The toolbar's account button and the sheet it opens (hidden until then).
    AccountAvatarButton *accountButton() const { return m_accountButton; }
    AccountSheet *accountSheet() const { return m_accountSheet; }
    // Opens the account sheet (signed in only); toggling closes it again.
    void showAccountSheet();
    void toggleAccountSheet();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeSignedInFrame();
    void render();
    void makeAccountEntry();
    void renderAccountEntry();

    const QuorvinAppContext m_context;
    ContentViewModel m_model;
    QuorvinWindowPresentation *m_presentation;
    QStackedLayout *m_pages;
    QWidget *m_signedIn = nullptr;
    QWidget *m_toolbar = nullptr;
    QHBoxLayout *m_toolbarActions = nullptr;
    QuorvinAppearanceModeControl *m_appearanceControl = nullptr;
    DashboardView *m_authenticatedContent = nullptr;
    MainWindowDialogs *m_dialogs = nullptr;
    QuorvinToolbarButton *m_diagnosticButton = nullptr;
    QPointer<QuorvinLoginView> m_login;
    // ---- the account sheet
    AccountAvatarImageLoader *m_avatarLoader = nullptr;
    AccountAvatarButton *m_accountButton = nullptr;
    AccountSheet *m_accountSheet = nullptr;
    bool m_shownLoggedIn = false;
};

} // namespace quorvin
