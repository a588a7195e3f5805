#include "app/Menus.h"

#include "engine/ProcessApi.h"

namespace kelvane::app {

namespace {

QAction* Item(QMenu* menu, const char* name, const char* caption, const char* hint) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QLatin1String(name));
    if (hint != nullptr)
        action->setStatusTip(QString::fromUtf8(hint));
    return action;
}

QMenu* Menu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QLatin1String(name));
    return menu;
}

} // namespace

TMainMenu::TMainMenu(QMenuBar* bar) {
    File = Menu(bar, "File1", "File");
    SaveSettings1 = Item(File, "SaveSettings1", "Save Settings", "Save settings (window and process profiles)");
    File->addSeparator();
    Exit1 = Item(File, "Exit1", "Exit", "Exit program");

    Options = Menu(bar, "Options1", "Options");
    StayonTop = Item(Options, "StayonTop", "Stay on Top", "Window should stay on top of other windows");
    StayonTop->setCheckable(true);
    Options->addSeparator();
    Settings1 = Item(Options, "Settings1", "Settings...", nullptr);

    Help = Menu(bar, "Help1", "Help");
    OnlineHelp1 = Item(Help, "OnlineHelp1", "Online Help", nullptr);
    OnlineHelp1->setShortcut(QKeySequence(Qt::Key_F1));
    OnlineHelp1->setShortcutContext(Qt::ApplicationShortcut);
    Help->addSeparator();
    Wizzard1 = Item(Help, "Wizzard1", "Configuration Wizzard...", "Run the Configuration Wizzard...");
    Help->addSeparator();
    MenuVersionOnline = Item(Help, "MenuVersionOnline", "Latest Version Available: ",
                             "Shows latest version number available at the website");
    Help->addSeparator();
    Abaout1 = Item(Help, "Abaout1", "About...", "Display program info");

    MenuDebug = Menu(bar, "MenuDebug", "Debug");
    MenuCreateDebugFile = Item(MenuDebug, "MenuCreateDebugFile", "Dump Processes File", "Create debug file");
    MenuDebug->menuAction()->setVisible(false); // hidden by design; start-up shows it
}

TPopupMenuList::TPopupMenuList(QWidget* parent) : menu(new QMenu(parent)) {
    menu->setObjectName(QStringLiteral("PopupMenuList"));
    CleanUp1 = Item(menu, "CleanUp1", "CleanUp", "Clean up processes list");
    Refresh1 = Item(menu, "Refresh1", "Refresh", "Re-scan processes in the system");
    menu->addSeparator();
    KillSelectedProcess1 =
        Item(menu, "KillSelectedProcess1", "Terminate Selected Process", "Shutdown selected process");
    menu->addSeparator();
    Query1 = Item(menu, "Query1", "View Process's Details...", "Query selected process's information");
    menu->addSeparator();
    priority[0] = Item(menu, "RealTime1", "Real Time", "Set Process's priority class to RealTime");
    priority[1] = Item(menu, "High1", "High", "Set Process's priority class to High");
    priority[2] = Item(menu, "AboveNormal1", "Above Normal", "Set Process's priority class to Above Normal");
    priority[3] = Item(menu, "Normal1", "Normal", "Set Process's priority class to Normal");
    priority[4] = Item(menu, "BelowNomal1", "Below Normal", "Set Process's priority class to Below Normal");
    priority[5] = Item(menu, "Low1", "Low", "Set Process's priority class to Low");
    menu->addSeparator();
    SetShutdownTime1 = Item(menu, "SetShutdownTime1", "Set Shutdown Time...", nullptr);
    menu->addSeparator();
    OpenContainingFolder1 = Item(menu, "OpenContainingFolder1", "Open Containing Folder...", nullptr);
}

std::uint32_t TPopupMenuList::PriorityCode(int i) {
    constexpr std::uint32_t kCodes[6] = {REALTIME_PRIORITY_CLASS,     HIGH_PRIORITY_CLASS,
                                         ABOVE_NORMAL_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
                                         BELOW_NORMAL_PRIORITY_CLASS, IDLE_PRIORITY_CLASS};
    return kCodes[i];
}

TPopupMenuTray::TPopupMenuTray() {
    menu.setObjectName(QStringLiteral("PopupMenuTray"));
    Suspended = Item(&menu, "Suspended", "Optimizer Suspended", nullptr);
    Suspended->setCheckable(true);
    menu.addSeparator();
    ShowSettings1 = Item(&menu, "ShowSettings1", "Show Settings...", nullptr);
    menu.addSeparator();
    Exit2 = Item(&menu, "Exit2", "Exit", nullptr);
}

} // namespace kelvane::app
