#pragma once
// The version check: the latest published version text, fetched once from the publisher's version
// file, shown in the Help menu and compared with Kelvane's own version; when it is newer, a
// question offers the download page. Nothing here shows a window: the caller passes a small host
// that asks the question and opens a web page.

#include <QString>
#include <functional>
#include <optional>

#include "update/HttpFetch.h"

namespace kelvane {

// One fetch of a version file. `text` is the sanitized body (SanitizeFetchedText), empty on failure.
struct VersionFetch {
    bool ok = false;
    QString text;
    QString error;
};

// One bounded GET of `url` (see HttpGet); thread-safe, so it may run on a worker thread.
VersionFetch FetchVersionText(const QString& url);
VersionFetch FetchVersionText(const QString& url, const HttpLimits& limits);

// The Help menu item's caption: latestLabel + " " + the fetched text, or + unknown when the fetch
// failed or brought only blanks. The window passes the message strings "Latest Version Available:"
// and "unknown". The text is the server's: a QAction shows "&" in it as a shortcut mark unless
// doubled.
QString VersionMenuCaption(const VersionFetch& fetch, const QString& latestLabel, const QString& unknown);
// FetchVersionText(url), then its caption.
QString CheckNetVersion(const QString& url, const QString& latestLabel, const QString& unknown);

// True when the first four numbers of `fetchedText` are a newer version than those of
// `ownVersionText` (ParseVersionText); an empty or unreadable text is never newer.
bool IsNewerVersion(const QString& ownVersionText, const QString& fetchedText);

// Kelvane's own version text, file description and company name, as the file version texts give
// them for the running executable.
struct ProductTexts {
    QString version;
    QString description;
    QString company;
    static ProductTexts OfRunningProgram();
};

// The question shown when a newer version is published, its lines joined with "\n":
// "New version available for <company>'s <description>", "Current version: <own>",
// "Newer version: <fetched>", "Do you want to download the update now?". Without a company name
// the first line names only the description, and without a description it names "Kelvane".
QString NewVersionMessage(const ProductTexts& own, const QString& fetchedText);
// The message shown when no newer version is published.
QString NoUpdateMessage();

enum class VersionQuestion { YesNo, Ok };

// What the dialog needs from the window. `ask` shows an information message with the buttons Yes
// and No, or OK, and returns true for Yes; it must show the text as plain text (it holds what the
// server sent), e.g. a QMessageBox with Qt::PlainText. `openUrl` opens a web page in the default
// browser, e.g. QDesktopServices::openUrl.
struct VersionDialogHost {
    std::function<bool(const QString& text, VersionQuestion buttons)> ask;
    std::function<void(const QString& url)> openUrl;
};

class TVersionUpdate {
public:
    // The publisher's version file and download page (PublisherUrls.h).
    TVersionUpdate();

    QString URLVersionFile;
    QString URLDownload;
    quintptr Handle = 0;  // the owner window of the opened download page; 0 for none
    HttpLimits Limits;    // the bounds of each fetch
    std::optional<ProductTexts> OwnProduct; // unset: ProductTexts::OfRunningProgram()

    // One GET of URLVersionFile.
    VersionFetch Fetch() const;

    // One GET of URLVersionFile, compared with the own version.
    bool IsNewerVersionAvailable() const;
    // The comparison with an already fetched text (empty when the fetch failed).
    bool IsNewerVersionAvailable(const QString& fetchedText) const;

    // The comparison with an already fetched text, then one of two messages: NewVersionMessage with
    // Yes and No, opening URLDownload on Yes, or NoUpdateMessage with OK. Returns the comparison.
    // Start-up fetches once and passes that text here, to the caption and to the comparison.
    bool IsNewerVersionAvailableDialog(const QString& fetchedText, const VersionDialogHost& host) const;
    // The same after one GET of URLVersionFile.
    bool IsNewerVersionAvailableDialog(const VersionDialogHost& host) const;

private:
    ProductTexts Own() const;
};

} // namespace kelvane
