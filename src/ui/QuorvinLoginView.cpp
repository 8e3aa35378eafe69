#include "ui/QuorvinLoginView.h"

#include "account/CloudAccount.h"
#include "ui/QuorvinAppIconView.h"
#include "ui/QuorvinCloseButton.h"
#include "ui/QuorvinFilledButton.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinTextButton.h"
#include "ui/QuorvinUnderlinedField.h"
#include "ui/Strings.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvin {

namespace {

using LoginField = QuorvinLoginViewModel::LoginField;
using LoginMode = QuorvinLoginViewModel::LoginMode;

QString linkHtml(const QUrl &url, const QString &text, const QColor &color)
{
    return QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:none\">%3</a>")
        .arg(url.toString(QUrl::FullyEncoded), color.name(), text.toHtmlEscaped());
}

// A control that goes disabled while it has the focus would hand it on along the chain, and a
// field that gets it that way selects all its text, which the next key would erase. The field the
// action belongs to takes it instead, its text kept, the cursor at its end.
void setEnabledKeepingFocus(QWidget *control, bool enabled, QLineEdit *field)
{
    if (!enabled && control->hasFocus() && field->isVisibleTo(field->window())) {
        field->setFocus(Qt::OtherFocusReason);
        field->deselect();
        field->end(false);
    }
    control->setEnabled(enabled);
}

void setTextIfChanged(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text) {
        edit->setText(text);
    }
}

} // namespace

QuorvinLoginView::QuorvinLoginView(CloudAccount &account, std::function<void()> quit, QWidget *parent)
    : QWidget(parent)
    , m_model(account)
    , m_quit(std::move(quit))
{
    setObjectName(QStringLiteral("quorvinLoginView"));
    setAttribute(Qt::WA_TranslucentBackground);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(40, 30, 40, 24);
    row->setSpacing(30);
    row->addWidget(makeHero(), 0, Qt::AlignVCenter);
    m_divider = new QWidget(this);
    m_divider->setFixedSize(1, 228);
    m_divider->setAutoFillBackground(true);
    row->addWidget(m_divider, 0, Qt::AlignVCenter);
    row->addWidget(makeForm(), 0, Qt::AlignVCenter);

    auto *close = new QuorvinCloseButton(this);
    close->setObjectName(QStringLiteral("loginQuit"));
    close->setToolTip(UiText::loginQuit);
    close->setAccessibleName(UiText::loginQuit);
    close->move(16, 16);
    close->raise();
    connect(close, &QAbstractButton::clicked, this, [this] {
        if (m_quit) {
            m_quit();
        }
    });
    m_close = close;

    connect(&m_model, &QuorvinLoginViewModel::changed, this, &QuorvinLoginView::render);
    connect(&m_model, &QuorvinLoginViewModel::focusRequested, this, &QuorvinLoginView::focusField);
    connect(&account, &CloudAccount::changed, this, &QuorvinLoginView::render);
    applyTheme();
    render();
}

QWidget *QuorvinLoginView::makeHero()
{
    auto *hero = new QWidget(this);
    hero->setFixedWidth(190);
    auto *column = new QVBoxLayout(hero);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(new QuorvinAppIconView(64, 16, hero), 0, Qt::AlignHCenter);
    m_welcome = new QuorvinLabel(UiText::loginWelcome, 22, QFont::Bold, QuorvinMacTheme::primaryText, hero);
    m_welcome->setAlignment(Qt::AlignCenter);
    m_welcome->setWordWrap(true);
    column->addWidget(m_welcome);
    return hero;
}

QWidget *QuorvinLoginView::makeForm()
{
    auto *form = new QWidget(this);
    form->setFixedWidth(300);
    auto *column = new QVBoxLayout(form);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    m_phoneField = new QuorvinUnderlinedField(UiText::loginPhonePlaceholder, nullptr, form);
    m_phoneField->lineEdit()->setObjectName(QStringLiteral("loginPhone"));
    m_phoneField->lineEdit()->setInputMethodHints(Qt::ImhDialableCharactersOnly);
    column->addWidget(m_phoneField);

    m_passwordField = new QuorvinUnderlinedField(UiText::loginPasswordPlaceholder, nullptr, form);
    m_passwordField->lineEdit()->setObjectName(QStringLiteral("loginPassword"));
    m_passwordField->lineEdit()->setEchoMode(QLineEdit::Password);
    column->addWidget(m_passwordField);

    m_requestCode = new QuorvinTextButton(UiText::loginCodeRequest, 14, QFont::Medium, form);
    m_requestCode->setObjectName(QStringLiteral("loginRequestCode"));
    m_codeField = new QuorvinUnderlinedField(UiText::loginCodePlaceholder, m_requestCode, form);
    m_codeField->lineEdit()->setObjectName(QStringLiteral("loginCode"));
    m_codeField->lineEdit()->setInputMethodHints(Qt::ImhDigitsOnly);
    column->addWidget(m_codeField);

    auto *modeRow = new QWidget(form);
    modeRow->setFixedHeight(22);
    auto *modeLayout = new QHBoxLayout(modeRow);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    m_registerHint
        = new QuorvinLabel(UiText::loginRegisterHint, 11, QFont::Normal, QuorvinMacTheme::secondaryText, modeRow);
    modeLayout->addWidget(m_registerHint);
    modeLayout->addStretch(1);
    m_modeSwitch = new QuorvinTextButton(UiText::loginUseCode, 13, QFont::Medium, modeRow);
    m_modeSwitch->setObjectName(QStringLiteral("loginModeSwitch"));
    m_modeSwitch->setColors(QuorvinMacTheme::accentBlue, QuorvinMacTheme::secondaryText);
    modeLayout->addWidget(m_modeSwitch);
    column->addWidget(modeRow);

    auto *consentRow = new QWidget(form);
    consentRow->setMinimumHeight(22);
    auto *consentLayout = new QHBoxLayout(consentRow);
    consentLayout->setContentsMargins(0, 0, 0, 0);
    consentLayout->setSpacing(4);
    consentLayout->addStretch(1);
    m_consent = new QCheckBox(consentRow);
    m_consent->setObjectName(QStringLiteral("loginConsent"));
    m_consent->setAccessibleName(UiText::loginConsentAccessibility);
    consentLayout->addWidget(m_consent);
    const auto addText = [&](const QString &text) {
        auto *label = new QuorvinLabel(text, 11, QFont::Normal, QuorvinMacTheme::secondaryText, consentRow);
        consentLayout->addWidget(label);
    };
    const auto addLink = [&](const QString &name) {
        auto *link = new QuorvinLabel(QString(), 11, QFont::Normal, QuorvinMacTheme::accentBlue, consentRow);
        link->setObjectName(name);
        link->setTextFormat(Qt::RichText);
        link->setOpenExternalLinks(true);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        m_consentLinks.append(link);
        consentLayout->addWidget(link);
    };
    addText(UiText::loginConsentRead);
    addLink(QStringLiteral("loginUserAgreement"));
    addText(UiText::loginConsentAnd);
    addLink(QStringLiteral("loginPrivacyPolicy"));
    consentLayout->addStretch(1);
    column->addWidget(consentRow);

    m_submit = new QuorvinFilledButton(UiText::loginPasswordSubmit, QuorvinMacTheme::accentBlue, 44, 14, 16, form);
    m_submit->setObjectName(QStringLiteral("loginSubmit"));
    column->addWidget(m_submit);

    m_status = new QuorvinLabel(QString(), 11, QFont::Normal, QuorvinMacTheme::secondaryText, form);
    m_status->setObjectName(QStringLiteral("loginStatus"));
    m_status->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(28);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_status);

    // The card's model follows the fields; Return moves on or signs in.
    connect(m_phoneField->lineEdit(), &QLineEdit::textEdited, &m_model, &QuorvinLoginViewModel::setPhoneNumberText);
    connect(m_codeField->lineEdit(), &QLineEdit::textEdited, &m_model, &QuorvinLoginViewModel::setPhoneCodeText);
    connect(m_passwordField->lineEdit(), &QLineEdit::textEdited, &m_model, &QuorvinLoginViewModel::setPasswordText);
    connect(m_phoneField->lineEdit(), &QLineEdit::returnPressed, this,
        [this] { focusField(m_model.loginMode() == LoginMode::Password ? LoginField::Password : LoginField::Code); });
    connect(m_codeField->lineEdit(), &QLineEdit::returnPressed, &m_model, &QuorvinLoginViewModel::submitPrimaryLogin);
    connect(
        m_passwordField->lineEdit(), &QLineEdit::returnPressed, &m_model, &QuorvinLoginViewModel::submitPrimaryLogin);
    connect(m_requestCode, &QAbstractButton::clicked, &m_model, &QuorvinLoginViewModel::requestPhoneCode);
    connect(m_modeSwitch, &QAbstractButton::clicked, &m_model, &QuorvinLoginViewModel::toggleLoginMode);
    connect(m_consent, &QCheckBox::toggled, &m_model, &QuorvinLoginViewModel::setHasAcceptedPolicies);
    connect(m_submit, &QAbstractButton::clicked, &m_model, &QuorvinLoginViewModel::submitPrimaryLogin);
    for (auto *edit : {m_phoneField->lineEdit(), m_codeField->lineEdit(), m_passwordField->lineEdit()}) {
        edit->installEventFilter(this);
    }
    // Tab walks the form top to bottom, whichever of its fields the mode shows.
    const QList<QWidget *> chain {m_phoneField->lineEdit(), m_passwordField->lineEdit(), m_codeField->lineEdit(),
        m_requestCode, m_modeSwitch, m_consent, m_consentLinks[0], m_consentLinks[1], m_submit};
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    return form;
}

bool QuorvinLoginView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_phoneField->lineEdit()) {
            m_model.setFocusedField(LoginField::Phone);
        } else if (watched == m_codeField->lineEdit()) {
            m_model.setFocusedField(LoginField::Code);
        } else if (watched == m_passwordField->lineEdit()) {
            m_model.setFocusedField(LoginField::Password);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuorvinLoginView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_appeared) {
        m_appeared = true;
        m_model.appear();
    }
}

void QuorvinLoginView::focusField(LoginField field)
{
    QLineEdit *target = nullptr;
    switch (field) {
    case LoginField::Phone:
        target = m_phoneField->lineEdit();
        break;
    case LoginField::Code:
        target = m_codeField->lineEdit();
        break;
    case LoginField::Password:
        target = m_passwordField->lineEdit();
        break;
    case LoginField::None:
        break;
    }
    render();
    if (target) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

void QuorvinLoginView::render()
{
    const bool codeMode = m_model.loginMode() == LoginMode::Code;
    m_passwordField->setVisible(!codeMode);
    m_codeField->setVisible(codeMode);
    m_registerHint->setVisible(!codeMode);
    setTextIfChanged(m_phoneField->lineEdit(), m_model.phoneNumberText());
    setTextIfChanged(m_codeField->lineEdit(), m_model.phoneCodeText());
    setTextIfChanged(m_passwordField->lineEdit(), m_model.passwordText());

    m_requestCode->setText(m_model.phoneCodeRequestButtonLabel());
    QLineEdit *secret = codeMode ? m_codeField->lineEdit() : m_passwordField->lineEdit();
    setEnabledKeepingFocus(m_requestCode, m_model.canRequestPhoneCode(), m_codeField->lineEdit());
    m_requestCode->updateGeometry();
    m_modeSwitch->setText(m_model.modeSwitchLabel());
    setEnabledKeepingFocus(m_modeSwitch, m_model.canUseLogin(), secret);
    m_modeSwitch->updateGeometry();
    if (m_consent->isChecked() != m_model.hasAcceptedPolicies()) {
        m_consent->setChecked(m_model.hasAcceptedPolicies());
    }
    m_submit->setText(m_model.primaryLoginButtonLabel());
    setEnabledKeepingFocus(m_submit, m_model.canSubmitPrimaryLogin(), secret);

    // The line keeps its place when empty.
    m_status->setText(m_model.statusText());
    const auto tone = m_model.statusTone() == QuorvinLoginViewModel::StatusTone::Danger
        ? QuorvinMacTheme::danger
        : QuorvinMacTheme::secondaryText;
    m_status->setColor(tone);
    update();
}

void QuorvinLoginView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (QuorvinDynamicColor::isAppearanceChange(event)) {
        applyTheme();
    }
}

void QuorvinLoginView::applyTheme()
{
    const QColor link = QuorvinMacTheme::accentBlue.resolve();
    m_consentLinks[0]->setText(linkHtml(QuorvinLoginViewModel::userAgreementURL(), UiText::loginUserAgreement, link));
    m_consentLinks[1]->setText(linkHtml(QuorvinLoginViewModel::privacyPolicyURL(), UiText::loginPrivacyPolicy, link));
    QuorvinDynamicColor divider = QuorvinMacTheme::cardBorder;
    divider.opacity = 0.8;
    QPalette dividerPalette = m_divider->palette();
    if (dividerPalette.color(QPalette::Window) != divider.resolve()) {
        dividerPalette.setColor(QPalette::Window, divider.resolve());
        m_divider->setPalette(dividerPalette);
    }
    // The stock box, drawn in the card's colours so it stands out in both looks.
    QPalette box = m_consent->palette();
    box.setColor(QPalette::Base, QuorvinMacTheme::cardBackground.resolve());
    box.setColor(QPalette::Window, QuorvinMacTheme::systemGray.resolve());
    box.setColor(QPalette::Text, QuorvinMacTheme::primaryText.resolve());
    if (box != m_consent->palette()) {
        m_consent->setPalette(box);
    }
}

void QuorvinLoginView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 24, 24);
    painter.fillPath(card, QuorvinMacTheme::cardBackground.resolve());
}

} // namespace quorvin
