#pragma once
// The publisher's addresses, all built from the one web address the build was configured with
// (the CMake cache variable KELVANE_PUBLISHER_URL).

#include <QString>

namespace kelvane {

// The configured web address without a trailing "/", as "https://kelvane.example".
QString PublisherUrl();
// The version file that the version check fetches: PublisherUrl() + "/Kelvane/verdescription.txt".
QString VersionFileUrl();
// PublisherUrl() + "/Kelvane/download.html".
QString DownloadPageUrl();
// PublisherUrl() + "/Kelvane/index.html".
QString HomePageUrl();
// PublisherUrl() + "/Kelvane/help.html".
QString HelpPageUrl();
// The publisher's contact address: "kelvane@" and the host of PublisherUrl() without a leading "www.".
QString ContactMailAddress();
// A mailto link to ContactMailAddress() whose subject is "Kelvane " + versionText and whose body
// is one blank, percent-encoded.
QString MailLinkUrl(const QString& versionText);

} // namespace kelvane
