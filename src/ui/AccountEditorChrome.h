#pragma once

#include <QString>

class QBoxLayout;
class QLineEdit;
class QWidget;

namespace quorvin {

class QuorvinLabel;
class QuorvinTextButton;

// The pieces both account editors are built from: a header with the title, "取消" and the save
// button, and labelled fields in the soft text-field look.
namespace AccountEditorChrome {

struct Header {
    QuorvinTextButton *cancel = nullptr;
    QuorvinTextButton *save = nullptr;
};

// Adds the header row to `column`.
Header addHeader(QBoxLayout *column, const QString &title, QWidget *parent);
// Adds a field (with its title above it unless the title is empty) to `row`; `secure` masks it.
QLineEdit *addField(QBoxLayout *row, const QString &title, const QString &placeholder, bool secure,
    const QString &objectName, QWidget *parent);
// A small selectable line for hints and statuses, hidden while empty.
QuorvinLabel *makeNote(const QString &objectName, QWidget *parent);
// Sets the note's text and shows it only when there is one.
void showNote(QuorvinLabel *note, const QString &text);
// Puts `value` into the field unless it already holds it (the cursor stays where it was).
void syncText(QLineEdit *field, const QString &value);

} // namespace AccountEditorChrome

} // namespace quorvin
