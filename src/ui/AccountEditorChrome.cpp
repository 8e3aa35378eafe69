#include "ui/AccountEditorChrome.h"

#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSoftTextField.h"
#include "ui/QuorvinTextButton.h"
#include "ui/Strings.h"

#include <QBoxLayout>
#include <QLabel>

namespace quorvin::AccountEditorChrome {

namespace {

void colorText(QLabel *label, QuorvinDynamicColor color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color.resolve(label));
    label->setPalette(palette);
}

QFont sized(const QWidget *widget, int pixelSize, QFont::Weight weight)
{
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

} // namespace

Header addHeader(QBoxLayout *column, const QString &title, QWidget *parent)
{
    auto *row = new QHBoxLayout();
    auto *titleLabel = new QLabel(title, parent);
    titleLabel->setFont(sized(titleLabel, 18, QFont::Bold));
    colorText(titleLabel, QuorvinMacTheme::primaryText);
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
        auto *titleLabel = new QLabel(title, parent);
        titleLabel->setFont(sized(titleLabel, 12, QFont::Medium));
        colorText(titleLabel, QuorvinMacTheme::secondaryText);
        stack->addWidget(titleLabel);
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

QLabel *makeNote(const QString &objectName, QWidget *parent)
{
    auto *note = new QLabel(parent);
    note->setObjectName(objectName);
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note->setFont(sized(note, 12, QFont::Normal));
    colorText(note, QuorvinMacTheme::secondaryText);
    note->hide();
    return note;
}

void showNote(QLabel *note, const QString &text)
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
