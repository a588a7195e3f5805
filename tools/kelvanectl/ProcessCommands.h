#pragma once
// kelvanectl's commands that act on one process, the dump, and Kelvane without a window.

#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <optional>

#include "engine/ProcessApi.h"

namespace kelvane {

class EngineHost;
class MessageStrings;

// "Low" ... "RealTime" (also "Real Time"), in any case, or one of the six class codes.
std::optional<std::uint32_t> ParseClassArgument(const QString& text);

// Each returns the exit status: 0 done, 1 refused or failed (the error on `err`), 2 bad arguments.
int CommandSetPriority(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                       QTextStream& out, QTextStream& err);
int CommandSetAffinity(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                       QTextStream& out, QTextStream& err);
int CommandTerminate(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                     QTextStream& err);
int CommandDump(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                const QString& defaultSettings, QTextStream& out, QTextStream& err);

// run [--settings FILE] [--cycles N]: the preferences and profiles from the settings file, then the
// display refresh (window hidden), the optimization cycle and the clean-up on their intervals until
// N cycles have run or `stop` is set; then every class is restored as at exit.
int CommandRun(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
               const QString& defaultSettings, QTextStream& err, const std::atomic<bool>& stop);

} // namespace kelvane
