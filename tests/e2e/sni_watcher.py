#!/usr/bin/python3
"""A StatusNotifierWatcher of our own on the session bus, and a client of the items it knows.

    sni_watcher.py watch              owns org.kde.StatusNotifierWatcher until killed; a host is
                                      registered, so Qt puts its tray icons on the bus
    sni_watcher.py item SECONDS       waits for a registered item; prints "bus-name path"
    sni_watcher.py props [PNG]        the item's properties as JSON; the largest icon as PNG
    sni_watcher.py activate           Activate(0, 0): what a left click in the panel sends
    sni_watcher.py menu               the exported menu's top level, one "id<TAB>kind<TAB>label"
    sni_watcher.py click LABEL        sends "clicked" to the menu entry with that label

Debian's python3-gi (Gio) belongs to /usr/bin/python3: call it with that interpreter.
"""
import json
import struct
import sys
import time
import zlib

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"

# Qt reads IsStatusNotifierHostRegistered through the introspection data: it must be listed.
WATCHER_XML = """
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>"""


def watch():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    items = []

    def emit(name, *args):
        bus.emit_signal(None, WATCHER_PATH, WATCHER, name,
                        GLib.Variant("(s)", args) if args else None)

    def vanished(_conn, _sender, _path, _iface, _signal, params):
        name, _old, new = params.unpack()
        for entry in list(items):
            if entry.split("/", 1)[0] == name and not new:
                items.remove(entry)
                print("unregistered", entry, flush=True)
                emit("StatusNotifierItemUnregistered", entry)

    def call(_conn, sender, _path, _iface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            service = params.unpack()[0]
            # An item names its bus name (path /StatusNotifierItem) or only its object path.
            if service.startswith("/"):
                entry = sender + service
            else:
                entry = service + "/StatusNotifierItem"
            if entry not in items:
                items.append(entry)
            print("registered", entry, flush=True)
            invocation.return_value(None)
            emit("StatusNotifierItemRegistered", entry)
        elif method == "RegisterStatusNotifierHost":
            invocation.return_value(None)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    def get(_conn, _sender, _path, _iface, prop):
        if prop == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", items)
        if prop == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        if prop == "ProtocolVersion":
            return GLib.Variant("i", 0)
        return None

    node = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML)
    bus.register_object(WATCHER_PATH, node.interfaces[0], call, get, None)
    bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                         "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE, vanished)
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "RequestName", GLib.Variant("(su)", (WATCHER, 4)), None,
                          Gio.DBusCallFlags.NONE, -1, None)
    if reply.unpack()[0] != 1:
        sys.exit("cannot own " + WATCHER)
    print("watcher ready", flush=True)
    GLib.MainLoop().run()


def bus():
    return Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(name, path, iface, method, args=None, reply=None):
    return bus().call_sync(name, path, iface, method, args,
                           GLib.VariantType.new(reply) if reply else None,
                           Gio.DBusCallFlags.NONE, 10000, None)


def registered():
    value = call(WATCHER, WATCHER_PATH, "org.freedesktop.DBus.Properties", "Get",
                 GLib.Variant("(ss)", (WATCHER, "RegisteredStatusNotifierItems")), "(v)")
    return value.unpack()[0]


def the_item():
    items = registered()
    if len(items) != 1:
        sys.exit("expected one registered item, found %r" % (items,))
    name, path = items[0].split("/", 1)
    return name, "/" + path


def wait_item(seconds):
    end = time.time() + float(seconds)
    while time.time() < end:
        items = registered()
        if items:
            name, path = items[0].split("/", 1)
            print(name, "/" + path)
            return
        time.sleep(0.1)
    sys.exit("no item registered within %s s" % seconds)


def write_png(path, width, height, argb):
    """The item's pixmap (ARGB32 in network byte order) as an RGBA PNG."""
    rows = b""
    for y in range(height):
        rows += b"\0"
        for x in range(width):
            a, r, g, b = argb[4 * (y * width + x):4 * (y * width + x) + 4]
            rows += bytes((r, g, b, a))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows)))
        f.write(chunk(b"IEND", b""))


def props(png=None):
    name, path = the_item()
    values = call(name, path, "org.freedesktop.DBus.Properties", "GetAll",
                  GLib.Variant("(s)", (ITEM,)), "(a{sv})").unpack()[0]
    tip = values.get("ToolTip") or ("", [], "", "")
    pixmaps = values.get("IconPixmap") or []
    out = {key: values.get(key) for key in ("Id", "Title", "Status", "Category", "IconName",
                                            "ItemIsMenu", "Menu")}
    out["ToolTipTitle"] = tip[2]
    out["ToolTipText"] = tip[3]
    out["IconSizes"] = ["%dx%d" % (w, h) for w, h, _ in pixmaps]
    # Pixels of the note sheet: opaque, strongly yellow (red and green high, blue low).
    yellow = opaque = 0
    if pixmaps:
        w, h, data = max(pixmaps, key=lambda p: p[0] * p[1])
        data = bytes(data)
        for i in range(0, len(data), 4):
            a, r, g, b = data[i:i + 4]
            if a > 200:
                opaque += 1
                if r > 180 and g > 160 and b < 130:
                    yellow += 1
        if png:
            write_png(png, w, h, data)
    out["OpaquePixels"] = opaque
    out["YellowPixels"] = yellow
    print(json.dumps(out, ensure_ascii=False, sort_keys=True))


def activate():
    name, path = the_item()
    call(name, path, ITEM, "Activate", GLib.Variant("(ii)", (0, 0)))


def menu_entries():
    name, path = the_item()
    menu = call(name, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (ITEM, "Menu")), "(v)").unpack()[0]
    # A host asks the menu to prepare itself before it shows it.
    call(name, menu, MENU, "AboutToShow", GLib.Variant("(i)", (0,)))
    _rev, layout = call(name, menu, MENU, "GetLayout",
                        GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))").unpack()
    entries = []
    for child in layout[2]:
        cid, cprops, _sub = child
        kind = cprops.get("type", "standard")
        visible = cprops.get("visible", True)
        if visible:
            entries.append((cid, kind, cprops.get("label", ""), cprops.get("enabled", True)))
    return name, menu, entries


def menu():
    _name, _menu, entries = menu_entries()
    for cid, kind, label, enabled in entries:
        print("%d\t%s\t%s\t%s" % (cid, kind, label, "enabled" if enabled else "disabled"))


def click(label):
    name, menu_path, entries = menu_entries()
    for cid, kind, text, _enabled in entries:
        if kind != "separator" and text.replace("_", "") == label:
            call(name, menu_path, MENU, "Event",
                 GLib.Variant("(isvu)", (cid, "clicked", GLib.Variant("i", 0), 0)))
            return
    sys.exit("no menu entry %r" % label)


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    try:
        if command == "watch":
            watch()
        elif command == "item":
            wait_item(sys.argv[2] if len(sys.argv) > 2 else 30)
        elif command == "props":
            props(sys.argv[2] if len(sys.argv) > 2 else None)
        elif command == "activate":
            activate()
        elif command == "menu":
            menu()
        elif command == "click":
            click(sys.argv[2])
        else:
            sys.exit(__doc__)
    except GLib.Error as e:
        sys.exit("D-Bus: " + e.message)
