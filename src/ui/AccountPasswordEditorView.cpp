#include "ui/AccountPasswordEditorView.h"

#include "account/CloudAccount.h"
#include "ui/AccountEditorChrome.h"
#include "ui/AccountPasswordEditorModel.h"
#include "ui/ContentViewModel.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinPillButton.h"
#include "ui/QuorvinShapes.h"
#include "ui/QuorvinTextButton.h"
#include "ui/Strings.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace quorvin {

namespace {

// One half of the mode switch: white on the accent when chosen, grey on the subtle surface when not.
class ModeButton final : public QAbstractButton {
public:
    ModeButton(const QString &title, QWidget *parent)
        : QAbstractButton(parent)
    {
        setText(title);
        setCheckable(true);
        setFixedHeight(32);
        setCursor(Qt::PointingHandCursor);
        QFont label = font();
        label.setPixelSize(13);
        label.setWeight(QFont::Medium);
        setFont(label);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor fill = (isChecked() ? QuorvinMacTheme::accentBlue : QuorvinMacTheme::surfaceSubtle).resolve();
        QuorvinShapes::paintRoundedPanel(painter, QRectF(rect()), 11, fill, fill);
        painter.setPen(isChecked() ? QColor(Qt::white) : QuorvinMacTheme::secondaryText.resolve());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

AccountPasswordEditorView::AccountPasswordEditorView(AccountPasswordEditorModel &model, QWidget *parent)
    : AccountEditorOverlay(0.16, 340, 16, 22, parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("accountPasswordEditor"));
    const auto header = AccountEditorChrome::addHeader(content(), UiText::passwordEditorTitle, card());
    m_save = header.save;
    connect(header.cancel, &QAbstractButton::clicked, this, [this] { m_model.closePasswordEditor(); });
    connect(m_save, &QAbstractButton::clicked, this, [this] { m_model.saveCloudPassword(); });

    m_modeSwitcher = new QWidget(card());
    auto *modes = new QHBoxLayout(m_modeSwitcher);
    modes->setContentsMargins(0, 0, 0, 0);
    modes->setSpacing(6);
    m_currentMode = new ModeButton(UiText::passwordModeCurrent, m_modeSwitcher);
    m_currentMode->setObjectName(QStringLiteral("passwordModeCurrentButton"));
    m_codeMode = new ModeButton(UiText::passwordModeCode, m_modeSwitcher);
    m_codeMode->setObjectName(QStringLiteral("passwordModeCodeButton"));
    modes->addWidget(m_currentMode, 1);
    modes->addWidget(m_codeMode, 1);
    content()->addWidget(m_modeSwitcher);
    connect(m_currentMode, &QAbstractButton::clicked, this, [this] { m_model.chooseVerificationMode(false); });
    connect(m_codeMode, &QAbstractButton::clicked, this, [this] { m_model.chooseVerificationMode(true); });

    m_currentRow = new QWidget(card());
    auto *currentLayout = new QVBoxLayout(m_currentRow);
    currentLayout->setContentsMargins(0, 0, 0, 0);
    m_current = AccountEditorChrome::addField(currentLayout, UiText::passwordCurrentField, UiText::passwordCurrentField,
        true, QStringLiteral("passwordCurrentField"), m_currentRow);
    content()->addWidget(m_currentRow);

    m_codeRow = new QWidget(card());
    auto *codeLayout = new QHBoxLayout(m_codeRow);
    codeLayout->setContentsMargins(0, 0, 0, 0);
    codeLayout->setSpacing(8);
    m_code = AccountEditorChrome::addField(
        codeLayout, QString(), UiText::editorCodePlaceholder, false, QStringLiteral("passwordCodeField"), m_codeRow);
    m_codeButton = new QuorvinPillButton(UiText::passwordCodeRequest,
        {QuorvinMacTheme::softBlue, QuorvinMacTheme::accentBlue, QuorvinDynamicColor::quorvinDynamic(0, 0, 0.0), 86,
            34},
        m_codeRow);
    m_codeButton->setObjectName(QStringLiteral("passwordCodeButton"));
    codeLayout->addWidget(m_codeButton);
    content()->addWidget(m_codeRow);
    connect(m_codeButton, &QAbstractButton::clicked, this, [this] { m_model.requestCode(); });

    m_password = AccountEditorChrome::addField(content(), UiText::passwordNewField, UiText::passwordNewField, true,
        QStringLiteral("passwordNewField"), card());
    m_confirm = AccountEditorChrome::addField(content(), UiText::passwordConfirmField, UiText::passwordConfirmField,
        true, QStringLiteral("passwordConfirmField"), card());
    m_help = AccountEditorChrome::makeNote(QStringLiteral("passwordHelp"), card());
    content()->addWidget(m_help);
    m_hint = AccountEditorChrome::makeNote(QStringLiteral("passwordCodeHint"), card());
    content()->addWidget(m_hint);
    m_status = AccountEditorChrome::makeNote(QStringLiteral("passwordStatus"), card());
    content()->addWidget(m_status);

    connect(m_current, &QLineEdit::textEdited, this, [this](const QString &t) { m_model.setCurrentPasswordDraft(t); });
    connect(m_code, &QLineEdit::textEdited, this, [this](const QString &t) { m_model.setCodeDraft(t); });
    connect(m_password, &QLineEdit::textEdited, this, [this](const QString &t) { m_model.setPasswordDraft(t); });
    connect(m_confirm, &QLineEdit::textEdited, this, [this](const QString &t) { m_model.setConfirmDraft(t); });
}

void AccountPasswordEditorView::render()
{
    const ContentViewState &state = m_model.state();
    const CloudAccount &account = m_model.account();
    m_save->setText(m_model.saveLabel());
    m_save->setEnabled(m_model.canUpdateCloudPassword());
    m_modeSwitcher->setVisible(m_model.showsModeSwitcher());
    m_currentMode->setChecked(!state.cloudProfilePasswordVerificationUsesCode);
    m_codeMode->setChecked(state.cloudProfilePasswordVerificationUsesCode);
    m_currentRow->setVisible(m_model.usesCurrentPassword());
    m_codeRow->setVisible(!m_model.usesCurrentPassword());
    AccountEditorChrome::syncText(m_current, state.cloudProfileCurrentPasswordDraft);
    AccountEditorChrome::syncText(m_code, state.cloudProfilePasswordCodeDraft);
    m_codeButton->setText(m_model.profilePasswordCodeButtonLabel());
    m_codeButton->setEnabled(m_model.canRequestProfilePasswordPhoneCode());
    AccountEditorChrome::syncText(m_password, state.cloudProfilePasswordDraft);
    AccountEditorChrome::syncText(m_confirm, state.cloudProfilePasswordConfirmDraft);
    AccountEditorChrome::showNote(m_help, m_model.profilePasswordHelpText());
    m_help->setColor(m_model.profilePasswordHelpColor());
    AccountEditorChrome::showNote(m_hint, m_model.shownCodeHint());
    AccountEditorChrome::showNote(m_status, account.cloudProfileStatus());
}

} // namespace quorvin
