#pragma once
// The commands of kelvanectl, over the process-access port, writing to the given streams.
// Each returns the process exit status.

#include <QStringList>
#include <QTextStream>
#include <cstdint>
#include <functional>

namespace kelvane {

class ProcessApi;
class MessageStrings;
class EngineHost;

// One line per PID: the PID, its class text, its affinity mask as 0x-prefixed hex and its CPU time
// in 100-ns ticks, tab-separated. A PID that cannot be opened for querying (or is no longer running)
// gives "PID\tN/A\t-\t-"; a value that cannot be read gives "-". 1 when any line lacks a value.
int CommandClasses(ProcessApi& api, const MessageStrings& strings, const QStringList& pids, QTextStream& out,
                   QTextStream& err);

// kelvanectl list [--settings FILE] [--interval MS]: the start-up scan, two display refreshes MS
// apart (default 500) as if the window were shown, then a header of the eleven column captions and
// one line per row (caption and ten sub-items) sorted by PID, tab-separated. Tabs, line breaks and
// backslashes inside a text are written as \t, \n and \\. `defaultSettings` is used without --settings.
int CommandList(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                const QString& defaultSettings, QTextStream& out, QTextStream& err);

// The PID of the foreground process, 0 for none.
int CommandForeground(ProcessApi& api, QTextStream& out);

// What the desktop session says about its foreground: the PID (0 for none), the name of the source
// that told it ("none" without one) and the limitations met on the way.
struct ForegroundAnswer {
    std::uint32_t pid = 0;
    QString source;
    QStringList notices;
};

// kelvanectl foreground [--verbose]: the PID `ask` gives, its notices on `err` and, with --verbose,
// "foreground source: NAME" on `err`. 2 for any other argument.
int CommandForeground(const QStringList& args, const std::function<ForegroundAnswer()>& ask, QTextStream& out,
                      QTextStream& err);

} // namespace kelvane
