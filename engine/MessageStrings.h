#pragma once
// The window's run-time texts: one ordered table, loaded once at start-up and never changed after.

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>

namespace kelvane {

class EngineHost;

// Line numbers of the table, in order.
enum class Msg : std::size_t {
    BoostError = 0,
    High,
    Low,
    BelowNormal,
    Normal,
    AboveNormal,
    RealTime,
    NotAvailable,
    Processes,
    Boosting,
    NoProcessBoosted,
    LatestVersionAvailable,
    Unknown,
    TipOpt,
    TipRef,
    Offline,
    HintOptimizer,
    HintRefresh,
    HintAntiLockUp,
    HintBoost,
    Cancel,
    OK,
    Next,
    Yes,
    No,
    ShellNotFound, // two %s: the shell's file name and its expected path
    SelectManually,
    TurnOn,
    SaveConfirm1,
    SaveConfirm2,
    RunAlways,
    ErrorSettingPriority,
    ErrorTerminating,
    Count
};

constexpr std::size_t kMessageStringCount = static_cast<std::size_t>(Msg::Count);

// The built-in table, one line per message string.
QStringList DefaultLanguageTable();

class MessageStrings {
public:
    // All strings empty, as before loading.
    MessageStrings() = default;

    const QString& operator[](Msg id) const { return strings_[static_cast<std::size_t>(id)]; }

    // Copies the lines of `table` into the strings, line 0 first. When the table is shorter than
    // the list of strings, shows "Fatal error while loading language strings!" through the host and
    // leaves the strings from the first missing line on empty. Extra lines are ignored.
    void LoadLanguageStrings(const QStringList& table, EngineHost& host);

private:
    std::array<QString, kMessageStringCount> strings_;
};

} // namespace kelvane
