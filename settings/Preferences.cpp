#include "settings/Preferences.h"

#include "settings/ValueCodec.h"

#include <algorithm>

namespace kelvane {

namespace {

std::optional<QString> Read(const IniDocument& doc, const char* key) {
    return doc.Read(kPreferencesSection, QLatin1String(key));
}

int ReadRanged(const IniDocument& doc, const IntegerKey& key) {
    return std::clamp(ReadIniInteger(Read(doc, key.name), key.defaultValue), key.minimum, key.maximum);
}

void Put(IniBatch& batch, const QString& key, const QString& value) { batch.Write(kPreferencesSection, key, value); }
void Put(IniBatch& batch, const char* key, int value) { Put(batch, QLatin1String(key), IniIntegerText(value)); }
void PutBool(IniBatch& batch, const char* key, bool value) { Put(batch, QLatin1String(key), IniBoolText(value)); }

} // namespace

Preferences LoadPreferences(const IniDocument& doc) {
    Preferences p;
    p.OptimizerInterval = ReadRanged(doc, kOptimizerIntervalKey);
    p.RefreshInterval = ReadRanged(doc, kRefreshIntervalKey);
    p.OptimizerEnabled = ReadIniBool(Read(doc, "OptimizerEnabled"), false);
    p.BoostForeground = ReadIniBool(Read(doc, "BoostForeground"), true);
    // An index outside the boost list gives the default, as the list control has no such entry.
    p.BoostPriority = ReadIniInteger(Read(doc, "BoostPriority"), 2);
    if (p.BoostPriority < 0 || p.BoostPriority > 5)
        p.BoostPriority = 2;
    p.StayOnTop = ReadIniBool(Read(doc, "StayOnTop"), false);
    p.ALU = ReadIniBool(Read(doc, "ALU"), false);
    p.ALUPerc = ReadRanged(doc, kALUPercKey);
    if (const auto top = Read(doc, "WindowTop"))
        p.WindowTop = ParseIniInteger(*top);
    if (const auto left = Read(doc, "WindowLeft"))
        p.WindowLeft = ParseIniInteger(*left);
    p.WindowWidth = ReadIniInteger(Read(doc, "WindowWidth"), 848);
    p.WindowHeight = ReadIniInteger(Read(doc, "WindowHeight"), 600);
    return p;
}

void WritePreferences(const Preferences& p, IniBatch& batch) {
    Put(batch, "RefreshInterval", p.RefreshInterval);
    Put(batch, "OptimizerInterval", p.OptimizerInterval);
    PutBool(batch, "OptimizerEnabled", p.OptimizerEnabled);
    PutBool(batch, "BoostForeground", p.BoostForeground);
    Put(batch, "BoostPriority", p.BoostPriority);
    PutBool(batch, "StayOnTop", p.StayOnTop);
    PutBool(batch, "ALU", p.ALU);
    Put(batch, "ALUPerc", p.ALUPerc);
    if (p.WindowTop)
        Put(batch, "WindowTop", *p.WindowTop);
    if (p.WindowLeft)
        Put(batch, "WindowLeft", *p.WindowLeft);
    Put(batch, "WindowWidth", p.WindowWidth);
    Put(batch, "WindowHeight", p.WindowHeight);
}

ColumnLayout LoadColumnLayout(const IniDocument& doc) {
    ColumnLayout layout;
    for (std::size_t i = 0; i < layout.order.size(); ++i) {
        const auto order = doc.Read(kPreferencesSection, QStringLiteral("Column%1Order").arg(i));
        if (order)
            layout.order[i] = ReadIniInteger(order, static_cast<int>(i));
        const auto width = doc.Read(kPreferencesSection, QStringLiteral("Column%1Width").arg(i));
        if (width)
            layout.width[i] = ParseIniInteger(*width);
    }
    layout.SortColumnIndex = ReadIniInteger(Read(doc, "SortColumnIndex"), 1);
    layout.SortAscending = ReadIniBool(Read(doc, "SortAscending"), true);
    return layout;
}

void WriteColumnLayout(const ColumnLayout& layout, IniBatch& batch) {
    for (std::size_t i = 0; i < layout.order.size(); ++i) {
        if (layout.order[i])
            Put(batch, QStringLiteral("Column%1Order").arg(i), IniIntegerText(*layout.order[i]));
        if (layout.width[i])
            Put(batch, QStringLiteral("Column%1Width").arg(i), IniIntegerText(*layout.width[i]));
    }
    Put(batch, "SortColumnIndex", layout.SortColumnIndex);
    PutBool(batch, "SortAscending", layout.SortAscending);
}

DialogOptions LoadDialogOptions(const IniDocument& doc, const DialogOptions& current) {
    DialogOptions o;
    o.ShowSplashScreen = ReadIniBool(Read(doc, "Show splash screen"), current.ShowSplashScreen);
    o.StartMinimized = ReadIniBool(Read(doc, "StartMinimzed"), current.StartMinimized);
    o.CheckForNewVersion = ReadIniBool(Read(doc, "CheckForNewVersion"), current.CheckForNewVersion);
    o.StartWithDesktop = ReadIniBool(Read(doc, "Start with Windows"), current.StartWithDesktop);
    return o;
}

void WriteDialogOptions(const DialogOptions& o, IniBatch& batch) {
    PutBool(batch, "Show splash screen", o.ShowSplashScreen);
    PutBool(batch, "StartMinimzed", o.StartMinimized);
    PutBool(batch, "CheckForNewVersion", o.CheckForNewVersion);
    PutBool(batch, "Start with Windows", o.StartWithDesktop);
}

IniResult EraseProfile(IniFile& file, const QString& processName) {
    return file.EraseSection(processName, SectionCase::Exact);
}

} // namespace kelvane
