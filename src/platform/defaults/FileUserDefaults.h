#pragma once

#include "platform/defaults/UserDefaults.h"

#include <QDateTime>

namespace quorvin {

// Settings kept in one JSON file. Every change rewrites the file atomically (a crash leaves either
// the old or the new file, never half of one) with mode 0600, since it holds the sign-in token.
//
// Another process (the quorvin-defaults tool) may edit the file while this one runs: before each
// change the file is re-read when it was modified since it was last read or written, so such an
// edit is neither lost nor overwritten, and its keys are signalled like any change.
//
// A file that is not a JSON object is moved aside to "<file>.corrupt" and the settings start empty,
// so the next write cannot silently destroy what might still be rescued by hand.
class FileUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    explicit FileUserDefaults(QString filePath, QObject *parent = nullptr);

    // The settings file of the application: "Quorvin/settings.json" in the user's config directory
    // (~/.config/Quorvin/settings.json).
    static QString standardFilePath();

    const QString &filePath() const { return m_filePath; }

    // Re-reads the file now; keys whose value differs are signalled.
    void reload();

    // The reason of the most recent failed write or load, empty when the last one succeeded.
    const QString &lastError() const { return m_lastError; }

protected:
    bool persist(const QJsonObject &values) override;
    void refresh() override;

private:
    QJsonObject readFile();
    void rememberFileStamp();

    QString m_filePath;
    QString m_lastError;
    QDateTime m_seenModified;
    qint64 m_seenSize = -1;
};

} // namespace quorvin
