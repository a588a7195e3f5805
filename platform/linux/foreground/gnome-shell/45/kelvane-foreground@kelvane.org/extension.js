// Exposes the focused window's process on the session bus for Kelvane (GNOME Shell 45 and later).
// org.kelvane.Foreground at /org/kelvane/Foreground: GetForeground() -> (u pid, s appId), and
// ForegroundChanged(u pid, s appId) on every focus change. pid is 0 without a focused window.

import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Shell from 'gi://Shell';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const INTERFACE = `<node>
  <interface name="org.kelvane.Foreground1">
    <method name="GetForeground">
      <arg type="u" name="pid" direction="out"/>
      <arg type="s" name="appId" direction="out"/>
    </method>
    <signal name="ForegroundChanged">
      <arg type="u" name="pid"/>
      <arg type="s" name="appId"/>
    </signal>
  </interface>
</node>`;

function describe(window) {
    if (!window)
        return [0, ''];
    const pid = window.get_pid();
    const app = Shell.WindowTracker.get_default().get_window_app(window);
    const appId = (app && app.get_id()) || window.get_gtk_application_id() || '';
    return [pid > 0 ? pid : 0, appId];
}

export default class KelvaneForegroundExtension extends Extension {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, '/org/kelvane/Foreground');
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, 'org.kelvane.Foreground',
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._focusId = global.display.connect('notify::focus-window', () => {
            this._object.emit_signal('ForegroundChanged',
                new GLib.Variant('(us)', describe(global.display.focus_window)));
        });
    }

    disable() {
        global.display.disconnect(this._focusId);
        Gio.bus_unown_name(this._nameId);
        this._object.unexport();
        this._object = null;
    }

    GetForeground() {
        return describe(global.display.focus_window);
    }
}
