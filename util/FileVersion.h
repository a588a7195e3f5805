#pragma once
// Version, description and company texts of an executable: from its Windows version resource (the
// U.S. English / Windows-1252 block "040904E4" only) when it is a PE file; Kelvane's own executable
// gives its build version; any other file gives what the dpkg database says of the package that
// owns it (version, first line of the description, maintainer's name).

#include <QString>

namespace kelvane {

// "FileVersion"; "Unknown version" when there is none.
QString GetFileVersionText(const QString& fileName);
// "FileVersion"; when there is none, the empty text if `blank`, else "unknown version".
QString GetFileVersionTextOrBlank(const QString& fileName, bool blank);
// "FileDescription"; empty when there is none.
QString GetFileDescription(const QString& fileName);
// "CompanyName"; empty when there is none or when it holds only blanks and control characters.
QString GetCompanyName(const QString& fileName);

// The version this program was built as.
QString BuildVersion();

} // namespace kelvane
