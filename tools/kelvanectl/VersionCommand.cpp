#include "tools/kelvanectl/VersionCommand.h"

#include "update/PublisherUrls.h"
#include "update/VersionUpdate.h"

namespace kelvane {

namespace {

QString OneLine(QString text) {
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\r', QStringLiteral("\\r"));
    text.replace(u'\n', QStringLiteral("\\n"));
    return text;
}

} // namespace

int CommandVersion(const QStringList& args, const QString& unknown, QTextStream& out, QTextStream& err) {
    QString url = VersionFileUrl();
    if (args.size() == 2 && args[0] == QLatin1String("--url"))
        url = args[1];
    else if (!args.isEmpty()) {
        err << "usage: kelvanectl version [--url URL]\n";
        return 2;
    }
    InitNetwork();
    const VersionFetch fetch = FetchVersionText(url);
    const QString own = ProductTexts::OfRunningProgram().version;
    out << "own version: " << own << '\n';
    out << "latest version: " << (fetch.ok ? OneLine(fetch.text) : unknown) << '\n';
    out << "newer: " << (IsNewerVersion(own, fetch.text) ? "yes" : "no") << '\n';
    if (!fetch.ok) {
        err << "kelvanectl: " << url << ": " << fetch.error << '\n';
        return 1;
    }
    return 0;
}

} // namespace kelvane
