#include "ui/AccountEditorChrome.h"

#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSoftTextField.h"
#include "ui/QuorvinTextButton.h"
#include "ui/Strings.h"

#include <QBoxLayout>

namespace quorvin::AccountEditorChrome {

Header addHeader(QBoxLayout *column, const QString &title, QWidget *parent)
{
    auto *row = new QHBoxLayout();
    auto *titleLabel = new QuorvinLabel(title, 18, QFont::Bold, QuorvinMacTheme::primaryText, parent);
    titleLabel->setObjectName(QStringLiteral("editorTitle"));
    row->addWidget(titleLabel);
    row->addStretch(1);
    Header header;
    header.cancel = new QuorvinTextButton(UiText::editorCancel, 14, QFont::Medium, parent);
    header.cancel->setObjectName(QStringLiteral("editorCancelButton"));
    header.cancel->setColors(QuorvinMacTheme::secondaryText, QuorvinMacTheme::secondaryText);
    row->addWidget(header.cancel);
    header.save = new QuorvinTextButton(UiText::editorSave, 14, QFont::DemiBold, parent);
    header.save->setObjectName(QStringLiteral("editorSaveButton"));
    header.save->setColors(QuorvinMacTheme::accentBlue, QuorvinMacTheme::systemGray);
    row->addWidget(header.save);
    column->addLayout(row);
    return header;
}

QLineEdit *addField(QBoxLayout *row, const QString &title, const QString &placeholder, bool secure,
    const QString &objectName, QWidget *parent)
{
    auto *stack = new QVBoxLayout();
    stack->setSpacing(5);
    if (!title.isEmpty()) {
        stack->addWidget(new QuorvinLabel(title, 12, QFont::Medium, QuorvinMacTheme::secondaryText, parent));
    }
    auto *field = new QuorvinSoftTextField(parent);
    field->setObjectName(objectName);
    field->setPlaceholderText(placeholder);
    if (secure) {
        field->setEchoMode(QLineEdit::Password);
    }
    stack->addWidget(field);
    row->addLayout(stack, 1);
    return field;
}

QuorvinLabel *makeNote(const QString &objectName, QWidget *parent)
{
    auto *note = new QuorvinLabel(QString(), 12, QFont::Normal, QuorvinMacTheme::secondaryText, parent);
    note->setObjectName(objectName);
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note->hide();
    return note;
}

void showNote(QuorvinLabel *note, const QString &text)
{
    note->setText(text);
    note->setVisible(!text.isEmpty());
}

void syncText(QLineEdit *field, const QString &value)
{
    if (field->text() != value) {
        field->setText(value);
    }
}

} // namespace quorvin::AccountEditorChrome
