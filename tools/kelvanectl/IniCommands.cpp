#include "tools/kelvanectl/IniCommands.h"

#include "settings/IniFile.h"

namespace kelvane {

namespace {

int Report(const IniResult& result, QTextStream& err) {
    if (result)
        return 0;
    err << result.error << ": " << result.reason << '\n';
    return 1;
}

} // namespace

int CommandIni(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString verb = args.value(0);
    const qsizetype count = args.size();
    if (count < 3) {
        err << "usage: kelvanectl ini get|set|keys|erase|delete FILE SECTION [KEY [VALUE]]\n";
        return 2;
    }
    IniFile file(args[1]);
    const QString& section = args[2];
    // Reads say why a file that is there cannot be read, rather than take it for an empty one.
    auto load = [&file, &err](IniDocument& doc) {
        QString reason;
        doc = file.Load(&reason);
        if (!reason.isEmpty())
            err << "kelvanectl: " << file.path() << ": " << reason << '\n';
        return reason.isEmpty();
    };
    IniDocument doc;
    if (verb == QLatin1String("get") && (count == 4 || count == 5)) {
        if (!load(doc))
            return 1;
        const std::optional<QString> value = doc.Read(section, args[3]);
        if (value) {
            out << *value << '\n';
            return 0;
        }
        if (count == 5) {
            out << args[4] << '\n';
            return 0;
        }
        return 1;
    }
    if (verb == QLatin1String("set") && count == 5)
        return Report(file.WriteString(section, args[3], args[4]), err);
    if (verb == QLatin1String("keys") && count == 3) {
        if (!load(doc))
            return 1;
        for (const QString& key : doc.Keys(section))
            out << key << '\n';
        return 0;
    }
    if (verb == QLatin1String("erase") && count == 3)
        return Report(file.EraseSection(section), err);
    if (verb == QLatin1String("delete") && count == 4)
        return Report(file.DeleteKey(section, args[3]), err);
    err << "usage: kelvanectl ini get|set|keys|erase|delete FILE SECTION [KEY [VALUE]]\n";
    return 2;
}

} // namespace kelvane
