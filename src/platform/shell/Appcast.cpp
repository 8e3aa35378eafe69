#include "platform/shell/Appcast.h"

#include "platform/shell/VersionComparator.h"

#include <QXmlStreamReader>

namespace quorvin {

namespace {

// An extension attribute of `attributes` by local name; attributes without a namespace are
// RSS's own and never count.
QString extensionAttribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const auto &attribute : attributes) {
        if (!attribute.namespaceUri().isEmpty() && attribute.name() == name) {
            return attribute.value().toString().trimmed();
        }
    }
    return {};
}

// Only web addresses are kept: a feed must never make the user's desktop open a local file or
// hand some other scheme to its handler.
QUrl webUrl(const QString &text)
{
    QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty() && (scheme == u"https" || scheme == u"http")) {
        return url;
    }
    return {};
}

} // namespace

bool AppcastItem::isLinuxUpdate() const
{
    return os.isEmpty() || os.compare(QStringLiteral("linux"), Qt::CaseInsensitive) == 0;
}

std::optional<Appcast> Appcast::parse(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    Appcast appcast;
    bool sawRss = false;
    std::optional<AppcastItem> item;
    // Element values of the item beat its enclosure's attributes, whatever their order.
    QString elementVersion, elementShortVersion, elementOs;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (!sawRss) {
                if (reader.name() != u"rss" || !reader.namespaceUri().isEmpty()) {
                    return std::nullopt;
                }
                sawRss = true;
                continue;
            }
            if (!item) {
                if (reader.name() == u"item" && reader.namespaceUri().isEmpty()) {
                    item = AppcastItem {};
                    elementVersion.clear();
                    elementShortVersion.clear();
                    elementOs.clear();
                }
                continue;
            }
            // Every child is read to its end here, so elements nested deeper (the deltas listed
            // inside a full release) never count as items of the feed.
            const bool extension = !reader.namespaceUri().isEmpty();
            const auto name = reader.name();
            if (!extension && name == u"enclosure") {
                const auto attributes = reader.attributes();
                item->downloadUrl = webUrl(attributes.value(QStringLiteral("url")).toString());
                item->versionString = extensionAttribute(attributes, u"version");
                item->displayVersionString = extensionAttribute(attributes, u"shortVersionString");
                item->os = extensionAttribute(attributes, u"os");
                item->isDeltaUpdate = !extensionAttribute(attributes, u"deltaFrom").isEmpty();
                reader.skipCurrentElement();
            } else if (!extension && name == u"title") {
                item->title = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (!extension && name == u"link") {
                item->infoUrl = webUrl(reader.readElementText(QXmlStreamReader::SkipChildElements));
            } else if (extension && name == u"version") {
                elementVersion = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (extension && name == u"shortVersionString") {
                elementShortVersion = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (extension && name == u"os") {
                elementOs = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else {
                reader.skipCurrentElement();
            }
        } else if (token == QXmlStreamReader::EndElement && item) {
            if (!elementVersion.isEmpty()) {
                item->versionString = elementVersion;
            }
            if (!elementShortVersion.isEmpty()) {
                item->displayVersionString = elementShortVersion;
            }
            if (!elementOs.isEmpty()) {
                item->os = elementOs;
            }
            if (item->displayVersionString.isEmpty()) {
                item->displayVersionString = item->versionString;
            }
            if (!item->versionString.isEmpty()) {
                appcast.items.append(*item);
            }
            item.reset();
        }
    }
    if (reader.hasError() || !sawRss) {
        return std::nullopt;
    }
    return appcast;
}

std::optional<AppcastItem> Appcast::newestFullItem() const
{
    std::optional<AppcastItem> newest;
    for (const auto &candidate : items) {
        if (!candidate.isLinuxUpdate() || candidate.isDeltaUpdate) {
            continue;
        }
        if (!newest || VersionComparator::compare(newest->versionString, candidate.versionString) < 0) {
            newest = candidate;
        }
    }
    return newest;
}

std::optional<AppcastItem> Appcast::newestUpdate(const QString &installedBuild) const
{
    auto newest = newestFullItem();
    if (newest && VersionComparator::compare(installedBuild, newest->versionString) < 0) {
        return newest;
    }
    return std::nullopt;
}

} // namespace quorvin
