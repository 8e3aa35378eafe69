#include "ui/AccountPhoneEditorView.h"

#include "account/CloudAccount.h"
#include "ui/AccountEditorChrome.h"
#include "ui/AccountPhoneEditorModel.h"
#include "ui/AccountPopoverModel.h"
#include "ui/ContentViewModel.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinPillButton.h"
#include "ui/QuorvinTextButton.h"
#include "ui/Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace quorvin {

AccountPhoneEditorView::AccountPhoneEditorView(AccountPhoneEditorModel &model, QWidget *parent)
    : AccountEditorOverlay(0.16, 340, 16, 22, parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("accountPhoneEditor"));
    const auto header = AccountEditorChrome::addHeader(content(), UiText::phoneEditorTitle, card());
    m_save = header.save;
    connect(header.cancel, &QAbstractButton::clicked, this, [this] { m_model.closePhoneEditor(); });
    connect(m_save, &QAbstractButton::clicked, this, [this] { m_model.save(); });

    auto *numberRow = new QHBoxLayout();
    numberRow->setSpacing(8);
    m_number = AccountEditorChrome::addField(
        numberRow, UiText::phoneEditorNumberTitle, QString(), false, QStringLiteral("phoneEditorNumberField"), card());
    m_codeButton = new QuorvinPillButton(UiText::phoneEditorCodeRequest,
        {QuorvinMacTheme::softBlue, QuorvinMacTheme::accentBlue, QuorvinDynamicColor::quorvinDynamic(0, 0, 0.0), 74,
            34},
        card());
    m_codeButton->setObjectName(QStringLiteral("phoneEditorCodeButton"));
    numberRow->addWidget(m_codeButton, 0, Qt::AlignBottom);
    content()->addLayout(numberRow);
    m_code = AccountEditorChrome::addField(content(), UiText::phoneEditorCodeTitle, UiText::editorCodePlaceholder,
        false, QStringLiteral("phoneEditorCodeField"), card());
    m_hint = AccountEditorChrome::makeNote(QStringLiteral("phoneEditorHint"), card());
    content()->addWidget(m_hint);
    m_status = AccountEditorChrome::makeNote(QStringLiteral("phoneEditorStatus"), card());
    content()->addWidget(m_status);

    connect(m_number, &QLineEdit::textEdited, this, [this](const QString &text) { m_model.setPhoneDraft(text); });
    connect(m_code, &QLineEdit::textEdited, this, [this](const QString &text) { m_model.setCodeDraft(text); });
    connect(m_codeButton, &QAbstractButton::clicked, this, [this] { m_model.requestCode(); });
}

void AccountPhoneEditorView::render()
{
    const ContentViewState &state = m_model.state();
    const CloudAccount &account = m_model.account();
    m_save->setText(m_model.saveLabel());
    m_save->setEnabled(m_model.canUpdateProfilePhone());
    AccountEditorChrome::syncText(m_number, state.cloudProfilePhoneDraft);
    m_number->setPlaceholderText(m_model.numberPlaceholder());
    m_codeButton->setText(m_model.profilePhoneCodeButtonLabel());
    m_codeButton->setEnabled(m_model.canRequestProfilePhoneCode());
    AccountEditorChrome::syncText(m_code, state.cloudProfilePhoneCodeDraft);
    AccountEditorChrome::showNote(m_hint, account.cloudPhoneCodeHint());
    AccountEditorChrome::showNote(m_status, account.cloudPhoneLoginStatus());
}

} // namespace quorvin
