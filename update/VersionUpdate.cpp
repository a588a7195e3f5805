#include "update/VersionUpdate.h"

#include <QFileInfo>
#include <QStringList>

#include "update/PublisherUrls.h"
#include "update/VersionText.h"
#include "util/FileVersion.h"
#include "util/TextTrim.h"

namespace kelvane {

VersionFetch FetchVersionText(const QString& url) { return FetchVersionText(url, HttpLimits{}); }

VersionFetch FetchVersionText(const QString& url, const HttpLimits& limits) {
    const HttpResult http = HttpGet(url, limits);
    VersionFetch fetch;
    fetch.ok = http.ok;
    fetch.error = http.error;
    if (http.ok)
        fetch.text = SanitizeFetchedText(http.body);
    return fetch;
}

QString VersionMenuCaption(const VersionFetch& fetch, const QString& latestLabel, const QString& unknown) {
    // An empty body would leave the caption as it reads before any check ran.
    const bool shown = fetch.ok && !fetch.text.trimmed().isEmpty();
    return latestLabel + u' ' + (shown ? fetch.text : unknown);
}

QString CheckNetVersion(const QString& url, const QString& latestLabel, const QString& unknown) {
    return VersionMenuCaption(FetchVersionText(url), latestLabel, unknown);
}

bool IsNewerVersion(const QString& ownVersionText, const QString& fetchedText) {
    return IsNewerVersionNumbers(ParseVersionText(ownVersionText), ParseVersionText(fetchedText));
}

ProductTexts ProductTexts::OfRunningProgram() {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return {GetFileVersionText(self), GetFileDescription(self), GetCompanyName(self)};
}

QString NewVersionMessage(const ProductTexts& own, const QString& fetchedText) {
    QString product = IsBlankText(own.description) ? QStringLiteral("Kelvane") : own.description;
    if (!IsBlankText(own.company))
        product = own.company + QStringLiteral("'s ") + product;
    return QStringList{QStringLiteral("New version available for ") + product,
                       QStringLiteral("Current version: ") + own.version,
                       QStringLiteral("Newer version: ") + fetchedText,
                       QStringLiteral("Do you want to download the update now?")}
        .join(u'\n');
}

QString NoUpdateMessage() { return QStringLiteral("No update available."); }

TVersionUpdate::TVersionUpdate() : URLVersionFile(VersionFileUrl()), URLDownload(DownloadPageUrl()) {}

ProductTexts TVersionUpdate::Own() const { return OwnProduct ? *OwnProduct : ProductTexts::OfRunningProgram(); }

VersionFetch TVersionUpdate::Fetch() const { return FetchVersionText(URLVersionFile, Limits); }

bool TVersionUpdate::IsNewerVersionAvailable() const { return IsNewerVersionAvailable(Fetch().text); }

bool TVersionUpdate::IsNewerVersionAvailable(const QString& fetchedText) const {
    return IsNewerVersion(Own().version, fetchedText);
}

bool TVersionUpdate::IsNewerVersionAvailableDialog(const QString& fetchedText, const VersionDialogHost& host) const {
    const ProductTexts own = Own();
    const bool newer = IsNewerVersion(own.version, fetchedText);
    if (newer) {
        if (host.ask && host.ask(NewVersionMessage(own, fetchedText), VersionQuestion::YesNo) && host.openUrl)
            host.openUrl(URLDownload);
    } else if (host.ask) {
        host.ask(NoUpdateMessage(), VersionQuestion::Ok);
    }
    return newer;
}

bool TVersionUpdate::IsNewerVersionAvailableDialog(const VersionDialogHost& host) const {
    return IsNewerVersionAvailableDialog(Fetch().text, host);
}

} // namespace kelvane
