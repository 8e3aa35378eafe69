#pragma once

#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;

namespace quorvin {

// One copy of the application per user. The copy that holds an exclusive lock (flock) on a file
// in the user's runtime directory is the one copy; the lock lives on the open descriptor, so a
// lock file left by a crashed copy blocks nobody. The copy also listens on a local socket beside
// the lock, through which a later launch asks it to come forward before that launch exits.
//
// The runtime directory is $XDG_RUNTIME_DIR, private to the user by the desktop's own rules;
// without it, a directory of its own under the user's cache directory, made private (0700).
// Never the shared temporary directory, where another user could hold the name.
//
// Two launches may see different runtime directories (one over ssh, say) yet work on the same
// data. With a scope file (the data directory's lock file), the one copy therefore also writes
// where it listens into an address file beside it, and a later launch that finds that copy
// answering there asks it to come forward instead of taking over.
class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    // `name` is the base of the lock and socket file names; `runtimeDirectory` overrides the
    // directory (empty: the standard one above).
    explicit SingleInstanceGuard(QString name = QStringLiteral("com.velmarc.quorvin.single-instance"),
        QString runtimeDirectory = {}, QObject *parent = nullptr);
    ~SingleInstanceGuard() override;

    static QString standardRuntimeDirectory();

    QString lockFilePath() const;
    QString socketPath() const;
    bool holdsLock() const { return m_lockDescriptor >= 0; }

    // True when this process is, or stays, the one copy. On first success it ends the other
    // copies of this program run by this user and starts listening for later launches. False
    // also when a copy on the same scope file answers at its published address: that copy has
    // then been asked to come forward already, and is never ended.
    //
    // When the lock cannot be opened at all (an unwritable directory), that is no reason to stop:
    // the answer is true without the lock, unless a running copy answers on the socket; such a
    // copy ends no other copies.
    bool becomePrimaryInstance();

    // From a later launch: asks the one copy to come forward, at this directory's socket or at
    // the address the copy on the same scope file published. True when it confirmed within
    // `timeout`.
    bool activateRunningCopy(std::chrono::milliseconds timeout = std::chrono::seconds(2)) const;

    // Narrows "another copy" to the processes that hold `path` open (the data directory's lock
    // file): copies that work on the same data. Copies of the program on other data (a try-out
    // home, a test) are left alone. Empty: every copy of the program.
    void setScopeFile(const QString &path) { m_scopeFile = path; }
    // Where the one copy on the scope file says it listens; empty without a scope file.
    QString addressFilePath() const;

    // Force-ends every other process of this user whose program is this process's program file
    // and, with a scope file, that holds the scope file open. Returns how many were ended.
    int terminateOtherCopies() const;

    // Whether process `pid` is another copy: a different process of user `uid` running
    // `executable` (a program replaced on disk while it runs still counts). Reads /proc.
    static bool isOtherCopy(qint64 pid, uint uid, const QString &executable);
    // Whether process `pid` has `path` open (read from /proc/<pid>/fd).
    static bool holdsFileOpen(qint64 pid, const QString &path);

Q_SIGNALS:
    // A later launch asked this copy to come forward.
    void activationRequested();

private:
    void listen();
    void publishAddress() const;
    // The socket of a copy on the same scope file that listens elsewhere, as it published it.
    QString publishedSocketElsewhere() const;
    // Asks that copy to come forward; true when it confirmed.
    bool activateCopyElsewhere();
    static bool askToComeForward(const QString &socketPath, std::chrono::milliseconds timeout);

    static constexpr std::chrono::milliseconds activationTimeout {2000};

    QString m_name;
    QString m_directory;
    QString m_scopeFile;
    int m_lockDescriptor = -1;
    bool m_primary = false;
    bool m_activatedElsewhere = false;
    QLocalServer *m_server = nullptr;
};

} // namespace quorvin
