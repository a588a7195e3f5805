#pragma once
// kelvanectl version: the version check of the window, from the command line.

#include <QStringList>
#include <QTextStream>

namespace kelvane {

// kelvanectl version [--url URL]: one fetch of URL (default: the publisher's version file), then
// three lines: "own version: " and Kelvane's own version text, "latest version: " and the fetched
// text (CR, LF and backslashes written as \r, \n and \\) or `unknown`, and "newer: yes" or
// "newer: no". 0 when the check ran, 1 when the fetch failed (its reason on `err`), 2 for bad
// arguments.
int CommandVersion(const QStringList& args, const QString& unknown, QTextStream& out, QTextStream& err);

} // namespace kelvane
