#pragma once

#include "platform/shell/LoginItem.h"

#include <QString>

namespace quorvin {

// Start at login through an XDG autostart entry: a desktop entry file in the user's autostart
// directory, which every XDG desktop runs at session start.
//
// The status is read from the file each time: no file is NotRegistered; a file the desktop's
// start-up settings switched off (Hidden=true, or X-GNOME-Autostart-enabled=false) is
// RequiresApproval; a file whose program (or TryExec) cannot be found, or a build that knows no
// executable of its own, is NotFound; anything else is Enabled.
class XdgAutostartLoginItem final : public LoginItem {
public:
    // `executable` is the program the entry starts; empty when this build has none to offer.
    XdgAutostartLoginItem(QString autostartDirectory, QString executable);

    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that is unset or not absolute.
    static QString standardDirectory();
    // The running program's file (an AppImage's own file when run from one).
    static QString currentExecutable();

    QString entryPath() const;

    LoginItemStatus status() const override;
    // Writes the entry atomically, enabled, starting `executable`.
    void registerItem() override;
    // Removes the entry; no entry is no error.
    void unregisterItem() override;

    // The program an Exec value starts: its first argument with the desktop entry quoting undone.
    static QString execProgram(const QString &execValue);
    // `program` as the first argument of an Exec value, quoted so any path survives.
    static QString quotedExecArgument(const QString &program);

private:
    QString m_directory;
    QString m_executable;
};

} // namespace quorvin
