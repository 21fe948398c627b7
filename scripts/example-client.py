#!/usr/bin/python3
# A client of vkm's Focuser over the session bus, on one connection (an object lives as long
# as the connection that made it): links, moves the focuser by 2000 steps, waits until it
# stands and reads its position back. Against the simulator `scripts/run.sh` starts, use the
# bus address run.sh prints. Needs python3-gi (scripts/setup.sh installs it).
import sys
import time
from gi.repository import Gio, GLib

NAME = "VUZA_VU.Focuser"
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(path, interface, method, args, reply):
    return bus.call_sync(NAME, path, interface, method, args, GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 60000, None).unpack()


def get(path, name):
    return call(path, "automation.Dispatch", "GetProperty", GLib.Variant("(sav)", (name, [])), "(v)")[0]


def put(path, name, value):
    call(path, "automation.Dispatch", "PutProperty", GLib.Variant("(savv)", (name, [], value)), "()")


def invoke(path, name, *args):
    return call(path, "automation.Dispatch", "Invoke", GLib.Variant("(sav)", (name, list(args))), "(av)")[0]


(focuser,) = call("/", "automation.ClassFactory", "CreateInstance", GLib.Variant("(s)", (NAME,)), "(o)")
print("object", focuser)
put(focuser, "Link", GLib.Variant("b", True))
start = get(focuser, "Position")
print("position", start)
invoke(focuser, "Move", GLib.Variant("i", start + 2000))
deadline = time.monotonic() + 60
while get(focuser, "IsMoving") and time.monotonic() < deadline:
    time.sleep(0.2)
end = get(focuser, "Position")
print("position", end)
call(focuser, "automation.Dispatch", "Release", None, "()")
sys.exit(0 if end == start + 2000 else 1)
