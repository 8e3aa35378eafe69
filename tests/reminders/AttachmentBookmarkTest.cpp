#include "platform/defaults/InMemoryUserDefaults.h"
#include "reminders/ShortcutAttachmentDirectoryBookmarkStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;

TEST(AttachmentBookmark, ResolvesRefreshesAndLeavesBadDataAlone)
{
    const QString key = u"Quorvin.AttachmentExportDirectoryBookmark"_s;
    InMemoryUserDefaults defaults;
    QSignalSpy changes(&defaults, &UserDefaults::changed);

    EXPECT_EQ(ShortcutAttachmentDirectoryBookmarkStore::resolvedDirectoryURL(defaults), std::nullopt);
    EXPECT_EQ(ShortcutAttachmentDirectoryBookmarkStore::displayText(defaults),
        u"Not authorized (using fallback path only)"_s);
    EXPECT_FALSE(defaults.contains(key));

    defaults.setBytes(key, QByteArrayLiteral("\x01\x02not a bookmark"));
    EXPECT_EQ(ShortcutAttachmentDirectoryBookmarkStore::resolvedDirectoryURL(defaults), std::nullopt);
    EXPECT_EQ(defaults.bytes(key), QByteArrayLiteral("\x01\x02not a bookmark"));

    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString exports = QDir(temp.path()).canonicalPath() + u"/exports"_s;
    ASSERT_TRUE(QDir().mkpath(exports));
    ASSERT_TRUE(QFile::link(exports, temp.path() + u"/link"_s));

    // A bookmark reached through a link is stale: it resolves, and the canonical path replaces it.
    ASSERT_TRUE(ShortcutAttachmentDirectoryBookmarkStore::storeDirectory(defaults, exports));
    const QByteArray fresh = *defaults.bytes(key);
    defaults.setBytes(key, QByteArray(fresh).replace(exports.toUtf8(), (temp.path() + u"/link/"_s).toUtf8()));
    const int before = changes.count();
    EXPECT_EQ(ShortcutAttachmentDirectoryBookmarkStore::resolvedDirectoryURL(defaults), exports);
    EXPECT_EQ(defaults.bytes(key), fresh);
    EXPECT_EQ(changes.count(), before + 1);
    EXPECT_EQ(ShortcutAttachmentDirectoryBookmarkStore::displayText(defaults), exports);
    EXPECT_EQ(changes.count(), before + 1);

    // A directory that is gone no longer resolves, and its bookmark stays as it was.
    ASSERT_TRUE(QDir(exports).removeRecursively());
    EXPECT_EQ(ShortcutAttachmentDirectoryBookmarkStore::resolvedDirectoryURL(defaults), std::nullopt);
    EXPECT_EQ(defaults.bytes(key), fresh);
    EXPECT_FALSE(ShortcutAttachmentDirectoryBookmarkStore::storeDirectory(defaults, exports));
}
