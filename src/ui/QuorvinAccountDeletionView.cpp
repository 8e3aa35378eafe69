#include "ui/QuorvinAccountDeletionView.h"

#include "ui/AccountEditorChrome.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinPaletteBinding.h"
#include "ui/Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvin {

namespace {

// The card is this wide with its padding, so it fits the sheet with room on both sides.
constexpr int cardWidth = 380;
constexpr int cardPadding = 20;

QLabel *makeText(const QString &text, int pixelSize, bool bold, bool secondary, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    label->setWordWrap(true);
    if (secondary) {
        label->setForegroundRole(QPalette::PlaceholderText);
    }
    return label;
}

} // namespace

QuorvinAccountDeletionView::QuorvinAccountDeletionView(
    CloudAccount &account, const QString &suggestedPhoneNumber, QWidget *parent)
    : AccountEditorOverlay(0.42, cardWidth - 2 * cardPadding, cardPadding, 20, parent)
    , m_model(account, suggestedPhoneNumber)
{
    setObjectName(QStringLiteral("accountDeletionView"));
    content()->setSpacing(13);
    content()->addWidget(makeText(UiText::deletionTitle, 22, true, false, card()));
    content()->addWidget(makeText(UiText::deletionWarning, 13, false, false, card()));

    auto *codeRow = new QHBoxLayout();
    codeRow->setSpacing(8);
    m_code = new QLineEdit(card());
    m_code->setObjectName(QStringLiteral("deletionCodeField"));
    m_code->setPlaceholderText(UiText::editorCodePlaceholder);
    codeRow->addWidget(m_code, 1);
    m_codeButton = new QPushButton(UiText::deletionCodeRequest, card());
    m_codeButton->setObjectName(QStringLiteral("deletionCodeButton"));
    m_codeButton->setAutoDefault(false);
    codeRow->addWidget(m_codeButton);
    content()->addLayout(codeRow);

    m_confirmation = new QLineEdit(card());
    m_confirmation->setObjectName(QStringLiteral("deletionConfirmationField"));
    m_confirmation->setPlaceholderText(UiText::deletionConfirmationPlaceholder);
    // The fields stand out from the card in both looks.
    for (QLineEdit *field : {m_code, m_confirmation}) {
        QuorvinPaletteBinding::bind(field, {{QPalette::Base, QuorvinMacTheme::surfaceSubtle}});
    }
    content()->addWidget(m_confirmation);
    content()->addWidget(
        makeText(UiText::deletionInstruction + UiText::deletionConfirmationSentence, 11, false, true, card()));
    m_status = makeText(QString(), 12, false, true, card());
    m_status->setObjectName(QStringLiteral("deletionStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->hide();
    content()->addWidget(m_status);

    auto *buttons = new QHBoxLayout();
    buttons->setSpacing(10);
    buttons->addStretch(1);
    m_cancel = new QPushButton(UiText::deletionCancel, card());
    m_cancel->setObjectName(QStringLiteral("deletionCancelButton"));
    m_cancel->setAutoDefault(false);
    buttons->addWidget(m_cancel);
    m_confirm = new QPushButton(UiText::deletionConfirm, card());
    m_confirm->setObjectName(QStringLiteral("deletionConfirmButton"));
    m_confirm->setAutoDefault(false);
    // The destructive choice in the danger colour, as the platform marks it.
    QuorvinPaletteBinding::markDestructive(m_confirm);
    buttons->addWidget(m_confirm);
    content()->addLayout(buttons);

    connect(m_code, &QLineEdit::textEdited, &m_model, &QuorvinAccountDeletionModel::setCode);
    connect(m_confirmation, &QLineEdit::textEdited, &m_model, &QuorvinAccountDeletionModel::setConfirmationText);
    connect(m_codeButton, &QPushButton::clicked, &m_model, &QuorvinAccountDeletionModel::requestCode);
    connect(m_cancel, &QPushButton::clicked, &m_model, &QuorvinAccountDeletionModel::cancel);
    connect(m_confirm, &QPushButton::clicked, &m_model, &QuorvinAccountDeletionModel::confirmDeletion);
    connect(&m_model, &QuorvinAccountDeletionModel::changed, this, &QuorvinAccountDeletionView::render);
    m_model.appear();
}

void QuorvinAccountDeletionView::render()
{
    AccountEditorChrome::syncText(m_code, m_model.code());
    AccountEditorChrome::syncText(m_confirmation, m_model.confirmationText());
    m_codeButton->setText(m_model.codeButtonLabel());
    m_codeButton->setEnabled(m_model.canRequestCode());
    m_status->setText(m_model.status());
    m_status->setVisible(!m_model.status().isEmpty());
    m_cancel->setEnabled(m_model.canCancel());
    m_confirm->setText(m_model.deleteButtonLabel());
    m_confirm->setEnabled(m_model.canDelete());
}

} // namespace quorvin
