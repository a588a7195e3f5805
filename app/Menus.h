#pragma once
// The main window's menus: the main menu, the process list's context menu and the tray menu, with
// every caption, item name, hint and separator. The window connects the items to its handlers.

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace kelvane::app {

struct TMainMenu {
    explicit TMainMenu(QMenuBar* bar);

    QMenu* File;
    QMenu* Options;
    QMenu* Help;
    QMenu* MenuDebug;
    QAction* SaveSettings1;
    QAction* Exit1;
    QAction* StayonTop;
    QAction* Settings1;
    QAction* OnlineHelp1;
    QAction* Wizzard1;
    QAction* MenuVersionOnline;
    QAction* Abaout1;
    QAction* MenuCreateDebugFile;
};

struct TPopupMenuList {
    explicit TPopupMenuList(QWidget* parent);

    QMenu* menu;
    QAction* CleanUp1;
    QAction* Refresh1;
    QAction* KillSelectedProcess1;
    QAction* Query1;
    // "Real Time", "High", "Above Normal", "Normal", "Below Normal", "Low"
    QAction* priority[6];
    QAction* SetShutdownTime1;
    QAction* OpenContainingFolder1;

    // The class code of priority item i.
    static std::uint32_t PriorityCode(int i);
};

struct TPopupMenuTray {
    TPopupMenuTray();

    QMenu menu;
    QAction* Suspended;
    QAction* ShowSettings1;
    QAction* Exit2;
};

} // namespace kelvane::app
