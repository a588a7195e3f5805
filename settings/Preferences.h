#pragma once
// The "Preferences" section: the main window's options and placement, the process list's column
// layout and sort order, and the settings dialog's options, with their defaults and ranges in one
// table. The window binds its controls to these values; nothing here knows a widget.

#include <QString>
#include <array>
#include <optional>

#include "settings/IniFile.h"

namespace kelvane {

inline const QString kPreferencesSection = QStringLiteral("Preferences");

// The main window keys, in the order "Save Settings" writes them.
struct Preferences {
    int RefreshInterval = 500;    // ms, 100 to 3000
    int OptimizerInterval = 250;  // ms, 10 to 2000
    bool OptimizerEnabled = false;
    bool BoostForeground = true;
    int BoostPriority = 2;        // index 0 "Low" ... 5 "RealTime"
    bool StayOnTop = false;
    bool ALU = false;
    int ALUPerc = 75;             // percent, 10 to 100
    std::optional<int> WindowTop;  // absent: centred on the screen
    std::optional<int> WindowLeft;
    int WindowWidth = 848;
    int WindowHeight = 600;
};

struct IntegerKey {
    const char* name;
    int defaultValue;
    int minimum;
    int maximum;
};
// The ranged integer keys: a loaded value outside its range goes to the nearer bound, as the
// window's spin boxes do.
inline constexpr IntegerKey kRefreshIntervalKey{"RefreshInterval", 500, 100, 3000};
inline constexpr IntegerKey kOptimizerIntervalKey{"OptimizerInterval", 250, 10, 2000};
inline constexpr IntegerKey kALUPercKey{"ALUPerc", 75, 10, 100};

Preferences LoadPreferences(const IniDocument& doc);
// The twelve keys in table order (the placement keys only when known).
void WritePreferences(const Preferences& prefs, IniBatch& batch);

// Column i's display position and width, and the sort state.
struct ColumnLayout {
    std::array<std::optional<int>, 11> order; // absent: the column's current position
    std::array<std::optional<int>, 11> width; // absent: the column's current width
    int SortColumnIndex = 1;
    bool SortAscending = true;
};
ColumnLayout LoadColumnLayout(const IniDocument& doc);
void WriteColumnLayout(const ColumnLayout& layout, IniBatch& batch);

// The settings dialog's four options; an absent key keeps the check box's current state.
struct DialogOptions {
    bool ShowSplashScreen = true;
    bool StartMinimized = false;
    bool CheckForNewVersion = true;
    bool StartWithDesktop = false; // "Start with Windows"
};
DialogOptions LoadDialogOptions(const IniDocument& doc, const DialogOptions& current);
void WriteDialogOptions(const DialogOptions& options, IniBatch& batch);

// Unchecking "Managed": the process's profile section goes at once.
IniResult EraseProfile(IniFile& file, const QString& processName);

} // namespace kelvane
