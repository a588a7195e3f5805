// Reports each activated window's process to the Kelvane instance that loaded this script.
// Kelvane writes a copy with its own session bus name in place of KELVANE_BUS_NAME and loads it
// through KWin's scripting D-Bus interface; it unloads the copy when it exits.
//
// The PID goes as a string ("0" without an active window, "" when KWin does not know it): KWin
// hands script numbers to D-Bus as doubles or ints depending on its version, and a string reads
// the same everywhere.
var kelvaneService = "KELVANE_BUS_NAME";

function kelvaneReport(window) {
    var pid = !window ? "0" : window.pid > 0 ? String(window.pid) : "";
    var appId = "";
    if (window)
        appId = String(window.desktopFileName || window.resourceClass || "");
    callDBus(kelvaneService, "/org/kelvane/KWinReport", "org.kelvane.KWinReport", "Activated", pid, appId);
}

if (workspace.windowActivated !== undefined) {
    // Plasma 6
    workspace.windowActivated.connect(kelvaneReport);
    kelvaneReport(workspace.activeWindow);
} else {
    // Plasma 5
    workspace.clientActivated.connect(kelvaneReport);
    kelvaneReport(workspace.activeClient);
}
