#!/usr/bin/python3
"""A notification service for the tests, on the session bus of DBUS_SESSION_BUS_ADDRESS.

It owns org.freedesktop.Notifications and writes every Notify call as one JSON line to LOG.
MODE "actions": it offers actions and clicks the first one of each notification a moment
later (ActionInvoked); "hold": it offers actions and leaves the notifications alone, never
reporting one closed; "plain": no actions; "stuck": Notify never answers in time; "slow": it offers
actions and answers every call after a pause, then clicks as "actions" does.
Every CloseNotification call is written as {"closed": id}.
Usage: notification_server.py LOG MODE READY_FILE
"""
import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
CLICK_DELAY_MS = 1500
STUCK_SECONDS = 60
SLOW_SECONDS = 2


class Server(dbus.service.Object):
    def __init__(self, bus, log, mode):
        super().__init__(bus, PATH)
        self.log = log
        self.mode = mode
        self.next_id = 1

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        caps = ["body", "body-markup"]
        if self.mode == "slow":
            time.sleep(SLOW_SECONDS)
        if self.mode in ("actions", "hold", "slow"):
            caps.append("actions")
        return caps

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("test-server", "lorvante tests", "1", "1.2")

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        if self.mode == "stuck":
            time.sleep(STUCK_SECONDS)
        if self.mode == "slow":
            time.sleep(SLOW_SECONDS)
        nid = self.next_id
        self.next_id += 1
        with open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps({"id": nid, "app_name": str(app_name), "app_icon": str(app_icon),
                                "summary": str(summary), "body": str(body),
                                "actions": [str(a) for a in actions],
                                "desktop_entry": str(hints.get("desktop-entry", ""))},
                               ensure_ascii=False) + "\n")
        if self.mode in ("actions", "slow") and actions:
            GLib.timeout_add(CLICK_DELAY_MS, self.click, nid, str(actions[0]))
        return nid

    def click(self, nid, key):
        self.ActionInvoked(nid, key)
        return False

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        with open(self.log + ".closed", "a", encoding="utf-8") as f:
            f.write(json.dumps({"closed": int(nid)}) + "\n")
        self.NotificationClosed(nid, 3)

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass


def main():
    log, mode, ready = sys.argv[1:4]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    _name = dbus.service.BusName(NAME, bus)
    _server = Server(bus, log, mode)
    open(ready, "w").close()
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
