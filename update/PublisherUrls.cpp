#include "update/PublisherUrls.h"

#include <QUrl>

#ifndef KELVANE_PUBLISHER_URL
#define KELVANE_PUBLISHER_URL "https://kelvane.example"
#endif

namespace kelvane {

namespace {

QString PublisherPage(QLatin1String path) { return PublisherUrl() + path; }

} // namespace

QString PublisherUrl() {
    QString url = QStringLiteral(KELVANE_PUBLISHER_URL);
    while (url.endsWith(u'/'))
        url.chop(1);
    return url;
}

QString VersionFileUrl() { return PublisherPage(QLatin1String("/Kelvane/verdescription.txt")); }
QString DownloadPageUrl() { return PublisherPage(QLatin1String("/Kelvane/download.html")); }
QString HomePageUrl() { return PublisherPage(QLatin1String("/Kelvane/index.html")); }
QString HelpPageUrl() { return PublisherPage(QLatin1String("/Kelvane/help.html")); }

QString ContactMailAddress() {
    QString host = QUrl(PublisherUrl()).host();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return QStringLiteral("kelvane@") + host;
}

QString MailLinkUrl(const QString& versionText) {
    const QString subject = QStringLiteral("Kelvane ") + versionText;
    return QStringLiteral("mailto:") + ContactMailAddress() + QStringLiteral("?subject=") +
           QString::fromLatin1(QUrl::toPercentEncoding(subject)) + QStringLiteral("&body=%20");
}

} // namespace kelvane
