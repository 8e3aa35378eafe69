#include "ui/ContentView.h"

#include "app/QuorvinWindowController.h"
#include "app/QuorvinWindowPresentation.h"
#include "sync/QuorvinMacService.h"
#include "ui/AccountAvatarButton.h"
#include "ui/AccountAvatarImageLoader.h"
#include "ui/AccountSheet.h"
#include "ui/DashboardView.h"
#include "ui/MainWindowDialogs.h"
#include "ui/QuorvinAppearanceModeControl.h"
#include "ui/QuorvinLoginView.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinMainWindowTitle.h"
#include "ui/QuorvinToolbarButton.h"
#include "ui/Strings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace quorvin {

namespace {

constexpr int toolbarHeight = QuorvinWindowController::toolbarHeight;

// The toolbar row's surface, set off from the page by the card border.
class ToolbarRow final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QuorvinMacTheme::cardBackground.resolve());
        painter.fillRect(QRect(0, height() - 1, width(), 1), QuorvinMacTheme::cardBorder.resolve());
    }
};

} // namespace

ContentView::ContentView(const QuorvinAppContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_model(context.service, context.defaults, context.appearance)
    , m_presentation(new QuorvinWindowPresentation(this, m_model.isLoggedIn()))
    , m_pages(new QStackedLayout(this))
{
    setObjectName(QStringLiteral("quorvinContentView"));
    m_pages->setContentsMargins(0, 0, 0, 0);
    m_dialogs = new MainWindowDialogs(context.service, m_model, context.loginItem, context.updates, this);
    m_signedIn = makeSignedInFrame();
    m_pages->addWidget(m_signedIn);
    // The card is drawn by the login view; the window's own title stays the one of the state.
    connect(m_presentation, &QuorvinWindowPresentation::applied, this, [this] {
        if (!m_model.navigationTitle().isEmpty()) {
            window()->setWindowTitle(m_model.navigationTitle());
        }
    });
    connect(&m_model, &ContentViewModel::changed, this, &ContentView::render);
    m_shownLoggedIn = !m_model.isLoggedIn();
    render();
}

ContentView::~ContentView() = default;

QWidget *ContentView::makeSignedInFrame()
{
    auto *frame = new QWidget(this);
    auto *column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_toolbar = new ToolbarRow(frame);
    m_toolbar->setObjectName(QStringLiteral("mainToolbar"));
    m_toolbar->setFixedHeight(toolbarHeight);
    auto *toolbarLayout = new QGridLayout(m_toolbar);
    toolbarLayout->setContentsMargins(16, 0, 16, 1);
    // Equal stretch on both sides keeps the title in the centre whatever the actions take.
    toolbarLayout->setColumnStretch(0, 1);
    toolbarLayout->setColumnStretch(2, 1);
    auto *title = new QuorvinMainWindowTitle(m_context.updates, m_toolbar);
    title->setObjectName(QStringLiteral("mainWindowTitle"));
    toolbarLayout->addWidget(title, 0, 1, Qt::AlignCenter);
    m_toolbarActions = new QHBoxLayout();
    m_toolbarActions->setSpacing(8);
    m_toolbarActions->addStretch(1);
    auto *about = new QuorvinToolbarButton(QuorvinSymbol::InfoCircle, UiText::aboutButton, false, m_toolbar);
    about->setObjectName(QStringLiteral("aboutButton"));
    connect(about, &QAbstractButton::clicked, &m_model,
        [this] { m_model.edit([](ContentViewState &state) { state.showingGuide = true; }); });
    m_toolbarActions->addWidget(about);
    m_appearanceControl = new QuorvinAppearanceModeControl(m_toolbar);
    m_appearanceControl->setObjectName(QStringLiteral("appearanceModeControl"));
    connect(m_appearanceControl, &QuorvinAppearanceModeControl::modeChosen, &m_model,
        &ContentViewModel::selectAppearanceMode);
    m_toolbarActions->addWidget(m_appearanceControl);
    m_diagnosticButton
        = new QuorvinToolbarButton(QuorvinSymbol::Stethoscope, UiText::diagnosticUploadButton, true, m_toolbar);
    m_diagnosticButton->setObjectName(QStringLiteral("diagnosticUploadButton"));
    connect(m_diagnosticButton, &QAbstractButton::clicked, m_dialogs,
        [this] { m_dialogs->model().requestDiagnosticUpload(); });
    m_toolbarActions->addWidget(m_diagnosticButton);
    makeAccountEntry();
    toolbarLayout->addLayout(m_toolbarActions, 0, 2);
    column->addWidget(m_toolbar);

    m_authenticatedContent = new DashboardView(m_context, m_model, frame);
    column->addWidget(m_authenticatedContent, 1);
    return frame;
}

// ---- the account sheet

void ContentView::makeAccountEntry()
{
    m_avatarLoader = new AccountAvatarImageLoader(m_context.service.http(), m_context.service.clock(), this);
    m_accountButton = new AccountAvatarButton(AccountAvatarButton::Look::Toolbar, m_toolbar);
    m_accountButton->setObjectName(QStringLiteral("accountToolbarButton"));
    m_accountButton->setLoader(m_avatarLoader);
    connect(m_accountButton, &QAbstractButton::clicked, this, &ContentView::toggleAccountSheet);
    m_toolbarActions->addWidget(m_accountButton);
    m_accountSheet = new AccountSheet(m_model, *m_avatarLoader, this);
}

void ContentView::renderAccountEntry()
{
    const AccountPopoverModel &popover = m_accountSheet->popover();
    const QString title = popover.accountToolbarTitle();
    m_accountButton->setInitial(popover.accountAvatarInitial());
    m_accountButton->setAccessibleName(title);
    m_accountButton->setToolTip(title);
    m_avatarLoader->load(popover.avatarImageURL(), popover.accountAvatarImageIdentity());
}

void ContentView::showAccountSheet()
{
    if (m_model.isLoggedIn() && !m_model.state().showingAccountPopover) {
        m_model.edit([](ContentViewState &state) { state.showingAccountPopover = true; });
    }
}

void ContentView::toggleAccountSheet()
{
    if (m_model.state().showingAccountPopover) {
        m_accountSheet->popover().closeAccountPopover();
    } else {
        showAccountSheet();
    }
}

void ContentView::render()
{
    m_appearanceControl->setSelectedMode(m_model.selectedAppearanceMode());
    m_diagnosticButton->setTitle(m_dialogs->model().diagnosticButtonTitle());
    m_diagnosticButton->setEnabled(m_dialogs->model().isDiagnosticButtonEnabled());
    renderAccountEntry();
    const bool loggedIn = m_model.isLoggedIn();
    if (loggedIn == m_shownLoggedIn) {
        return;
    }
    m_shownLoggedIn = loggedIn;
    if (loggedIn) {
        m_pages->setCurrentWidget(m_signedIn);
        if (QuorvinLoginView *login = m_login) {
            m_login = nullptr;
            m_pages->removeWidget(login);
            // The sign-in that ends the card may still be running inside its model.
            login->deleteLater();
        }
    } else {
        // Each signed-out spell starts a fresh card: password mode, empty fields, no consent.
        m_login = new QuorvinLoginView(m_context.service.account(), m_context.terminate, this);
        m_pages->addWidget(m_login);
        m_pages->setCurrentWidget(m_login);
    }
    m_presentation->setAuthenticated(loggedIn);
    update();
}

void ContentView::paintEvent(QPaintEvent *)
{
    // Signed out the window is see-through around the login card.
    if (m_shownLoggedIn) {
        QPainter painter(this);
        painter.fillRect(rect(), QuorvinMacTheme::pageBackground.resolve());
    }
}

} // namespace quorvin
