#include "ui/AccountSheet.h"

#include "account/CloudAccount.h"
#include "ui/AccountAvatarButton.h"
#include "ui/AccountAvatarImageLoader.h"
#include "ui/AccountPasswordEditorView.h"
#include "ui/AccountPhoneEditorView.h"
#include "ui/CloudDeviceTexts.h"
#include "ui/ContentViewModel.h"
#include "ui/QtAvatarImageChooser.h"
#include "ui/QuorvinAccountDeletionView.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacCard.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinPaletteBinding.h"
#include "ui/QuorvinSoftTextField.h"
#include "ui/QuorvinTextButton.h"
#include "ui/Strings.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvin {

namespace {

constexpr int sheetWidth = 420;
constexpr int sheetMinimumHeight = 500;
constexpr int sheetMaximumHeight = 600;
constexpr int deviceListMaximumHeight = 260;

QuorvinLabel *makeLabel(
    const QString &text, int pixelSize, QFont::Weight weight, QuorvinDynamicColor color, QWidget *parent)
{
    return new QuorvinLabel(text, pixelSize, weight, color, parent);
}

QuorvinTextButton *makeButton(const QString &text, int pixelSize, QFont::Weight weight, QuorvinDynamicColor color,
    const QString &objectName, QWidget *parent)
{
    auto *button = new QuorvinTextButton(text, pixelSize, weight, parent);
    button->setObjectName(objectName);
    button->setColors(color, QuorvinMacTheme::systemGray);
    return button;
}

// A hairline in the border colour.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QuorvinMacTheme::cardBorder.resolve());
    }
};

// The round "×" at the sheet's leading edge.
class SheetCloseButton final : public QAbstractButton {
public:
    explicit SheetCloseButton(QWidget *parent)
        : QAbstractButton(parent)
    {
        setFixedSize(28, 28);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(isDown() ? 0.78 : 1.0);
        painter.setPen(QPen(QuorvinMacTheme::cardBorder.resolve(), 1));
        painter.setBrush(QuorvinMacTheme::surfaceSubtle.resolve());
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(QPen(QuorvinMacTheme::secondaryText.resolve(), 1.8, Qt::SolidLine, Qt::RoundCap));
        const QPointF c = QRectF(rect()).center();
        painter.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
        painter.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
    }
};

// An eye, struck through while the number is masked; accent blue when there is a number to show.
class PhoneVisibilityButton final : public QAbstractButton {
public:
    explicit PhoneVisibilityButton(QWidget *parent)
        : QAbstractButton(parent)
    {
        setCheckable(true);
        setFixedSize(20, 20);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = (isEnabled() ? QuorvinMacTheme::accentBlue : QuorvinMacTheme::systemGray).resolve();
        painter.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QRectF box = QRectF(rect()).adjusted(2, 5, -2, -5);
        QPainterPath eye;
        eye.moveTo(box.left(), box.center().y());
        eye.quadTo(box.center().x(), box.top() - box.height() * 0.6, box.right(), box.center().y());
        eye.quadTo(box.center().x(), box.bottom() + box.height() * 0.6, box.left(), box.center().y());
        painter.drawPath(eye);
        painter.setBrush(color);
        painter.drawEllipse(box.center(), 2.0, 2.0);
        if (!isChecked()) {
            painter.drawLine(QPointF(box.left() + 1, box.bottom() + 3), QPointF(box.right() - 1, box.top() - 3));
        }
    }
};

QString sessionsSignature(const QList<CloudDeviceSessionPayload> &sessions, const QString &currentSession)
{
    QStringList parts {currentSession};
    for (const auto &session : sessions) {
        parts << session.session_id.value_or(QString()) << session.client_kind.value_or(QString())
              << session.device_label.value_or(QString()) << session.last_seen_at.value_or(QString());
    }
    return parts.join(QChar(0x1F));
}

} // namespace

AccountSheet::AccountSheet(ContentViewModel &content, AccountAvatarImageLoader &avatar, QWidget *parent)
    : QDialog(parent)
    , m_content(content)
    , m_avatar(avatar)
    , m_popover(content)
    , m_phoneEditor(m_popover)
    , m_passwordEditor(m_popover)
    , m_ownChooser(std::make_unique<QtAvatarImageChooser>())
    , m_chooser(m_ownChooser.get())
{
    setObjectName(QStringLiteral("accountSheet"));
    setWindowModality(Qt::WindowModal);
    setFixedWidth(sheetWidth);
    setMinimumHeight(sheetMinimumHeight);
    setMaximumHeight(sheetMaximumHeight);
    resize(sheetWidth, sheetMaximumHeight);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    m_scroll = scroll;
    scroll->setObjectName(QStringLiteral("accountSheetScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto *body = new QWidget(scroll);
    scroll->setWidget(body);
    // The scroll area would fill its page with the window colour; the sheet paints the page.
    body->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(14);

    auto *close = new SheetCloseButton(body);
    close->setObjectName(QStringLiteral("accountSheetCloseButton"));
    close->setAccessibleName(UiText::accountSheetClose);
    connect(close, &QAbstractButton::clicked, this, [this] { m_popover.closeAccountPopover(); });
    column->addWidget(close, 0, Qt::AlignLeft);
    column->addWidget(makeIdentityHeader(body));
    m_profileStatus = makeLabel(QString(), 12, QFont::Normal, QuorvinMacTheme::secondaryText, body);
    m_profileStatus->setObjectName(QStringLiteral("accountProfileStatus"));
    m_profileStatus->setWordWrap(true);
    m_profileStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_profileStatus);
    column->addWidget(makePersonalInfo(body));
    column->addWidget(makeDevices(body));
    auto *deletionRow = new QHBoxLayout();
    deletionRow->setContentsMargins(0, 0, 2, 0);
    deletionRow->addStretch(1);
    m_deleteAccount = makeButton(UiText::accountDeletionButton, 13, QFont::DemiBold, QuorvinMacTheme::danger,
        QStringLiteral("accountDeletionButton"), body);
    connect(m_deleteAccount, &QAbstractButton::clicked, this, [this] { m_popover.openAccountDeletion(); });
    deletionRow->addWidget(m_deleteAccount);
    column->addLayout(deletionRow);
    column->addStretch(1);

    m_phoneEditorView = new AccountPhoneEditorView(m_phoneEditor, this);
    m_passwordEditorView = new AccountPasswordEditorView(m_passwordEditor, this);
    m_phoneEditorView->hide();
    m_passwordEditorView->hide();

    m_avatarButton->setLoader(&m_avatar);
    connect(&m_content, &ContentViewModel::changed, this, &AccountSheet::render);
    render();
}

AccountSheet::~AccountSheet() = default;

void AccountSheet::setAvatarImageChooser(AvatarImageChooser *chooser)
{
    m_chooser = chooser ? chooser : m_ownChooser.get();
}

QWidget *AccountSheet::makeIdentityHeader(QWidget *parent)
{
    auto *header = new QWidget(parent);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    m_avatarButton = new AccountAvatarButton(AccountAvatarButton::Look::Sheet, header);
    m_avatarButton->setObjectName(QStringLiteral("accountAvatarButton"));
    m_avatarButton->setAccessibleName(UiText::accountAvatarChange);
    connect(m_avatarButton, &QAbstractButton::clicked, this, &AccountSheet::chooseAvatar);
    row->addWidget(m_avatarButton);

    m_nickname = new QStackedWidget(header);
    auto *shown = new QWidget(m_nickname);
    auto *shownRow = new QHBoxLayout(shown);
    shownRow->setContentsMargins(0, 0, 0, 0);
    shownRow->setSpacing(8);
    m_title = makeLabel(QString(), 24, QFont::Bold, QuorvinMacTheme::primaryText, shown);
    m_title->setObjectName(QStringLiteral("accountTitleLabel"));
    // However long the name, the pencil and the logout button stay in the sheet.
    m_title->setElideMode(Qt::ElideRight);
    shownRow->addWidget(m_title);
    m_nicknameEdit = makeButton(QStringLiteral("✎"), 15, QFont::DemiBold, QuorvinMacTheme::accentBlue,
        QStringLiteral("nicknameEditButton"), shown);
    m_nicknameEdit->setAccessibleName(UiText::accountNicknameEdit);
    m_nicknameEdit->setToolTip(UiText::accountNicknameEdit);
    connect(m_nicknameEdit, &QAbstractButton::clicked, this, [this] { m_popover.openProfileNicknameEditor(); });
    shownRow->addWidget(m_nicknameEdit);
    shownRow->addStretch(1);
    m_nickname->addWidget(shown);

    auto *editing = new QWidget(m_nickname);
    auto *editingRow = new QHBoxLayout(editing);
    editingRow->setContentsMargins(0, 0, 0, 0);
    editingRow->setSpacing(8);
    m_nicknameField = new QuorvinSoftTextField(editing);
    m_nicknameField->setObjectName(QStringLiteral("nicknameField"));
    m_nicknameField->setPlaceholderText(UiText::accountNicknamePlaceholder);
    // Return does not save: only the checkmark does.
    connect(m_nicknameField, &QLineEdit::textEdited, this,
        [this](const QString &text) { m_popover.setNicknameDraft(text); });
    editingRow->addWidget(m_nicknameField, 1);
    m_nicknameSave = makeButton(QStringLiteral("✓"), 15, QFont::Bold, QuorvinMacTheme::accentBlue,
        QStringLiteral("nicknameSaveButton"), editing);
    m_nicknameSave->setAccessibleName(UiText::accountNicknameSave);
    m_nicknameSave->setToolTip(UiText::accountNicknameSave);
    connect(m_nicknameSave, &QAbstractButton::clicked, this, [this] { m_popover.saveProfileNickname(); });
    editingRow->addWidget(m_nicknameSave);
    m_nickname->addWidget(editing);
    row->addWidget(m_nickname, 1);

    m_logout = makeButton(UiText::accountLogout, 15, QFont::DemiBold, QuorvinMacTheme::danger,
        QStringLiteral("accountLogoutButton"), header);
    connect(m_logout, &QAbstractButton::clicked, this, [this] { m_popover.logout(); });
    row->addWidget(m_logout);
    return header;
}

QWidget *AccountSheet::makePersonalInfo(QWidget *parent)
{
    auto *card = new QuorvinMacCard(16, 20, parent);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(16);
    column->addWidget(makeLabel(UiText::accountPersonalInfo, 19, QFont::Bold, QuorvinMacTheme::primaryText, card));

    auto *phoneRow = new QHBoxLayout();
    phoneRow->setSpacing(5);
    phoneRow->addWidget(makeLabel(UiText::phoneRowTitle, 15, QFont::DemiBold, QuorvinMacTheme::primaryText, card));
    m_phoneVisibility = new PhoneVisibilityButton(card);
    m_phoneVisibility->setObjectName(QStringLiteral("phoneVisibilityButton"));
    connect(m_phoneVisibility, &QAbstractButton::clicked, this, [this] { m_popover.togglePhoneVisibility(); });
    phoneRow->addWidget(m_phoneVisibility);
    phoneRow->addSpacing(12);
    phoneRow->addStretch(1);
    m_phoneText = makeLabel(QString(), 15, QFont::Medium, QuorvinMacTheme::primaryText, card);
    m_phoneText->setObjectName(QStringLiteral("accountPhoneText"));
    m_phoneText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    phoneRow->addWidget(m_phoneText);
    m_phoneEdit = makeButton(
        UiText::accountEdit, 13, QFont::DemiBold, QuorvinMacTheme::accentBlue, QStringLiteral("phoneEditButton"), card);
    connect(m_phoneEdit, &QAbstractButton::clicked, this, [this] {
        if (m_content.isLoggedIn()) {
            m_phoneEditor.openPhoneEditor();
        }
    });
    phoneRow->addWidget(m_phoneEdit);
    column->addLayout(phoneRow);
    column->addWidget(new Divider(card));

    auto *passwordRow = new QHBoxLayout();
    passwordRow->setSpacing(10);
    passwordRow->addWidget(
        makeLabel(UiText::accountPasswordRow, 15, QFont::DemiBold, QuorvinMacTheme::primaryText, card));
    passwordRow->addStretch(1);
    m_passwordValue = makeLabel(QString(), 15, QFont::Medium, QuorvinMacTheme::primaryText, card);
    m_passwordValue->setObjectName(QStringLiteral("accountPasswordValue"));
    m_passwordValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    passwordRow->addWidget(m_passwordValue);
    m_passwordEdit = makeButton(UiText::accountEdit, 13, QFont::DemiBold, QuorvinMacTheme::accentBlue,
        QStringLiteral("passwordEditButton"), card);
    connect(m_passwordEdit, &QAbstractButton::clicked, this, [this] { m_passwordEditor.openPasswordEditor(); });
    passwordRow->addWidget(m_passwordEdit);
    column->addLayout(passwordRow);
    return card;
}

QWidget *AccountSheet::makeDevices(QWidget *parent)
{
    auto *card = new QuorvinMacCard(16, 20, parent);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    auto *heading = new QHBoxLayout();
    heading->setSpacing(8);
    heading->addWidget(makeLabel(UiText::devicesHeading, 19, QFont::Bold, QuorvinMacTheme::primaryText, card));
    heading->addStretch(1);
    m_devicesRefresh = makeButton(UiText::devicesRefresh, 15, QFont::DemiBold, QuorvinMacTheme::accentBlue,
        QStringLiteral("devicesRefreshButton"), card);
    connect(m_devicesRefresh, &QAbstractButton::clicked, this, [this] { m_popover.refreshDevices(); });
    heading->addWidget(m_devicesRefresh);
    column->addLayout(heading);
    m_devicesEmpty = makeLabel(UiText::devicesEmpty, 14, QFont::Medium, QuorvinMacTheme::secondaryText, card);
    m_devicesEmpty->setObjectName(QStringLiteral("devicesEmptyLabel"));
    column->addWidget(m_devicesEmpty);
    auto *scroll = new QScrollArea(card);
    scroll->setObjectName(QStringLiteral("deviceListScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The rows sit on the card itself. (A style sheet would do it too, but would hold the rows'
    // colours from following the look.)
    scroll->viewport()->setAutoFillBackground(false);
    m_deviceList = new QWidget(scroll);
    m_deviceRows = new QVBoxLayout(m_deviceList);
    m_deviceRows->setContentsMargins(0, 0, 0, 0);
    m_deviceRows->setSpacing(0);
    scroll->setWidget(m_deviceList);
    m_deviceList->setAutoFillBackground(false);
    column->addWidget(scroll);
    return card;
}

void AccountSheet::chooseAvatar()
{
    if (!m_popover.beginAvatarChoice()) {
        return;
    }
    QPointer<AccountSheet> self(this);
    m_chooser->choose(this, [self](AvatarImageChooser::Result result) {
        if (self) {
            self->m_popover.finishAvatarChoice(result);
        }
    });
}

void AccountSheet::render()
{
    const ContentViewState &state = m_content.state();
    const CloudAccount &account = m_popover.account();
    const bool loggedIn = m_content.isLoggedIn();

    // Shown and hidden with the main view's flag; each appearance starts from fresh drafts.
    if (state.showingAccountPopover && !isVisible()) {
        // Each appearance starts at the top, wherever the last one was left.
        m_scroll->verticalScrollBar()->setValue(0);
        open();
        m_popover.appear();
        m_scroll->verticalScrollBar()->setValue(0);
        return;
    }
    if (!state.showingAccountPopover && isVisible()) {
        QDialog::done(QDialog::Rejected);
    }

    m_avatarButton->setInitial(m_popover.accountAvatarInitial());
    m_avatarButton->setSaving(account.isCloudProfileSaving());
    m_avatarButton->setEnabled(m_popover.canChangeAvatar());
    m_nickname->setCurrentIndex(state.isProfileNicknameEditing ? 1 : 0);
    m_title->setTextIfChanged(m_popover.accountToolbarTitle());
    m_nicknameEdit->setEnabled(m_popover.canOpenProfileNicknameEditor());
    if (m_nicknameField->text() != state.cloudProfileNicknameDraft) {
        m_nicknameField->setText(state.cloudProfileNicknameDraft);
    }
    m_nicknameSave->setEnabled(m_popover.canAttemptProfileNicknameSave());
    m_logout->setEnabled(loggedIn);
    m_profileStatus->setText(account.cloudProfileStatus());
    m_profileStatus->setVisible(!account.cloudProfileStatus().isEmpty() && !state.showingPasswordEditor);

    m_phoneVisibility->setChecked(state.isAccountPhoneVisible);
    m_phoneVisibility->setAccessibleName(state.isAccountPhoneVisible ? UiText::phoneHide : UiText::phoneShow);
    m_phoneVisibility->setToolTip(m_phoneVisibility->accessibleName());
    m_phoneVisibility->setEnabled(m_popover.canTogglePhoneVisibility());
    m_phoneText->setText(m_popover.accountPhoneText());
    m_phoneEdit->setEnabled(loggedIn);
    m_passwordValue->setText(m_popover.passwordRowValue());
    m_passwordEdit->setEnabled(loggedIn);

    m_devicesRefresh->setText(m_popover.devicesRefreshLabel());
    m_devicesRefresh->setEnabled(m_popover.canRefreshDevices());
    renderDevices();
    m_deleteAccount->setEnabled(m_popover.canOpenAccountDeletion());

    m_phoneEditorView->setVisible(state.showingPhoneEditor);
    if (state.showingPhoneEditor) {
        m_phoneEditorView->raise();
        m_phoneEditorView->render();
    }
    m_passwordEditorView->setVisible(state.showingPasswordEditor);
    if (state.showingPasswordEditor) {
        m_passwordEditorView->raise();
        m_passwordEditorView->render();
    }
    renderDeletionPage();
    renderRemovalConfirmation();
    placeOverlays();
}

void AccountSheet::renderDevices()
{
    const CloudAccount &account = m_popover.account();
    const auto &sessions = account.cloudDeviceSessions();
    const QString signature = sessionsSignature(sessions, account.cloudSessionID());
    if (signature != m_shownDevices) {
        m_shownDevices = signature;
        m_devices.clear();
        while (QLayoutItem *item = m_deviceRows->takeAt(0)) {
            if (QWidget *widget = item->widget()) {
                // A row's own button may be the one being clicked right now.
                widget->hide();
                widget->deleteLater();
            }
            delete item;
        }
        for (qsizetype i = 0; i < sessions.size(); ++i) {
            const CloudDeviceSessionPayload &session = sessions[i];
            auto *row = new QWidget(m_deviceList);
            row->setObjectName(QStringLiteral("deviceRow"));
            auto *layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 4, 0, 4);
            layout->setSpacing(12);
            auto *texts = new QVBoxLayout();
            texts->setSpacing(4);
            QuorvinLabel *title = makeLabel(
                m_popover.cloudDeviceTitle(session), 15, QFont::DemiBold, QuorvinMacTheme::primaryText, row);
            title->setObjectName(QStringLiteral("deviceTitle"));
            title->setElideMode(Qt::ElideRight);
            texts->addWidget(title);
            QuorvinLabel *subtitle = makeLabel(
                CloudDeviceTexts::cloudDeviceSubtitle(session), 13, QFont::Medium, QuorvinMacTheme::secondaryText, row);
            subtitle->setObjectName(QStringLiteral("deviceSubtitle"));
            subtitle->setElideMode(Qt::ElideRight);
            texts->addWidget(subtitle);
            layout->addLayout(texts, 1);
            DeviceRow entry {session, nullptr};
            if (m_popover.isCurrentDeviceSession(session)) {
                auto *current = makeLabel(UiText::deviceCurrent, 14, QFont::DemiBold, QuorvinMacTheme::accentBlue, row);
                current->setObjectName(QStringLiteral("deviceCurrentLabel"));
                layout->addWidget(current);
            } else {
                entry.remove = makeButton(UiText::deviceRemove, 14, QFont::DemiBold, QuorvinMacTheme::systemGray,
                    QStringLiteral("deviceRemoveButton"), row);
                entry.remove->setProperty("sessionID", session.session_id.value_or(QString()));
                connect(entry.remove, &QAbstractButton::clicked, this,
                    [this, session] { m_popover.requestDeviceRemoval(session); });
                layout->addWidget(entry.remove);
            }
            m_deviceRows->addWidget(row);
            // Shown now, not on the next turn of the loop, so the list's height counts it at once.
            row->show();
            m_devices.push_back(entry);
            if (i + 1 < sessions.size()) {
                auto *divider = new QWidget(m_deviceList);
                auto *dividerLayout = new QVBoxLayout(divider);
                dividerLayout->setContentsMargins(0, 8, 0, 8);
                dividerLayout->addWidget(new Divider(divider));
                m_deviceRows->addWidget(divider);
                divider->show();
            }
        }
    }
    m_devicesEmpty->setVisible(sessions.isEmpty());
    // As high as its rows, up to the limit; beyond it the list scrolls on its own.
    QWidget *scroll = m_deviceList->parentWidget()->parentWidget();
    scroll->setVisible(!sessions.isEmpty());
    scroll->setFixedHeight(std::min(m_deviceList->sizeHint().height(), deviceListMaximumHeight));
    for (const DeviceRow &row : m_devices) {
        if (row.remove) {
            row.remove->setText(
                m_popover.isRemovingDeviceSession(row.session) ? UiText::deviceRemoving : UiText::deviceRemove);
            row.remove->setEnabled(m_popover.canRemoveDeviceSession(row.session));
        }
    }
}

void AccountSheet::renderRemovalConfirmation()
{
    const bool pending = m_popover.isDeviceRemovalConfirmationShown();
    if (!pending) {
        if (m_removalConfirmation) {
            QMessageBox *box = m_removalConfirmation;
            m_removalConfirmation = nullptr;
            box->close();
        }
        return;
    }
    if (m_removalConfirmation || !isVisible()) {
        return;
    }
    // The question stands in the dialog itself: a window title may not be shown at all.
    auto *box = new QMessageBox(
        QMessageBox::Warning, UiText::deviceRemovalTitle, UiText::deviceRemovalTitle, QMessageBox::NoButton, this);
    box->setInformativeText(m_popover.cloudDeviceRemovalConfirmationMessage());
    box->setObjectName(QStringLiteral("deviceRemovalConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton *remove = box->addButton(UiText::deviceRemove, QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("deviceRemovalConfirmButton"));
    QuorvinPaletteBinding::markDestructive(remove);
    QPushButton *cancel = box->addButton(UiText::deviceRemovalCancel, QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("deviceRemovalCancelButton"));
    box->setDefaultButton(cancel);
    m_removalConfirmation = box;
    connect(box, &QMessageBox::finished, this, [this, box, remove] {
        if (m_removalConfirmation != box) {
            return;
        }
        m_removalConfirmation = nullptr;
        if (box->clickedButton() == remove) {
            m_popover.confirmDeviceRemoval();
        } else {
            m_popover.cancelDeviceRemoval();
        }
    });
    box->open();
}

void AccountSheet::renderDeletionPage()
{
    const bool showing = m_content.state().showingAccountDeletion && isVisible();
    if (showing && !m_deletion) {
        // Each opening starts empty: no code, no sentence, no status.
        m_deletion = new QuorvinAccountDeletionView(m_popover.account(), m_popover.account().cloudPhoneNumber(), this);
        auto &model = m_deletion->model();
        connect(
            &model, &QuorvinAccountDeletionModel::closeRequested, this, [this] { m_popover.closeAccountDeletion(); });
        connect(&model, &QuorvinAccountDeletionModel::deleted, this, [this] { m_popover.accountDeleted(); });
        m_deletion->show();
    } else if (!showing && m_deletion) {
        QuorvinAccountDeletionView *page = m_deletion;
        m_deletion = nullptr;
        page->hide();
        page->deleteLater();
    }
    if (m_deletion) {
        m_deletion->raise();
    }
}

void AccountSheet::placeOverlays()
{
    for (QWidget *overlay : {static_cast<QWidget *>(m_phoneEditorView), static_cast<QWidget *>(m_passwordEditorView),
             static_cast<QWidget *>(m_deletion.data())}) {
        if (overlay) {
            overlay->setGeometry(rect());
        }
    }
}

void AccountSheet::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QuorvinMacTheme::pageBackground.resolve());
}

void AccountSheet::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeOverlays();
}

void AccountSheet::reject()
{
    // Escape or the window's close: like the close button, but never from under an editor or
    // the deletion page, which close only by their own buttons.
    const ContentViewState &state = m_content.state();
    if (state.showingPhoneEditor || state.showingPasswordEditor || state.showingAccountDeletion) {
        return;
    }
    m_popover.closeAccountPopover();
}

} // namespace quorvin
