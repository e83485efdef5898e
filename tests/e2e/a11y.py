"""The program as the accessibility bus and the X server show it: finding
widgets by role and name, acting on them, mouse input through XTest, screen
pixels, and the tree dump."""

import struct
import time
import zlib

import pyatspi
from Xlib import X, display as xdisplay
from Xlib.ext import xtest
from Xlib.protocol import event as xevent


class Failure(Exception):
    pass


def poll(what, probe, timeout=10.0, interval=0.05):
    """Calls probe() until it returns something truthy; a probe that raises
    (a widget not there yet, a busy GUI thread) is tried again; one that
    raises Failure has found a definite fault."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            result = probe()
            if result:
                return result
            last = result
        except Failure:
            raise
        except Exception as error:  # the AT-SPI proxies raise several kinds
            last = error
        if time.monotonic() > deadline:
            raise Failure("timed out after %.0f s waiting for %s (last: %r)" % (timeout, what, last))
        time.sleep(interval)


# Views with one child per item: walking them costs a call per file or row,
# and nothing the test looks for lives inside.
ITEM_VIEWS = {pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE}

# Roles a person operates; each must carry a name.
CONTROL_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
                 pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_COMBO_BOX,
                 pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT}


def walk(node):
    yield node
    if node.getRole() in ITEM_VIEWS:
        return
    for child in node:
        if child is not None:
            yield from walk(child)


def has_state(node, state):
    return node.getState().contains(state)


def showing(node):
    return has_state(node, pyatspi.STATE_SHOWING)


def find(root, role=None, name=None, name_part=None):
    for node in walk(root):
        if role is not None and node.getRole() != role:
            continue
        if name is not None and node.name != name:
            continue
        if name_part is not None and name_part not in node.name:
            continue
        return node
    return None


def text_of(node):
    """What a text field or a status label shows."""
    try:
        text = node.queryText()
    except NotImplementedError:
        raise Failure("%s %r shows no text through the accessibility interface" % (node.getRoleName(), node.name))
    return text.getText(0, -1)


def value_of(node):
    return node.queryValue().currentValue


def act(node, *names):
    """Runs the first of the named actions that the widget offers
    ("Press" clicks a push button, "Toggle" flips a checkable one)."""
    action = node.queryAction()
    offered = [action.getName(i) for i in range(action.nActions)]
    for wanted in names:
        if wanted in offered:
            action.doAction(offered.index(wanted))
            return
    raise Failure("%s %r offers %s, none of %s" % (node.getRoleName(), node.name, offered, list(names)))


def centre(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


class Program:
    """The application object of one process on the accessibility bus."""

    def __init__(self, pid):
        self.pid = pid
        self.app = None

    def alive(self):
        try:
            # A zombie has ended too.
            with open("/proc/%d/stat" % self.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] != "Z"
        except FileNotFoundError:
            return False

    def check_alive(self):
        if not self.alive():
            raise Failure("the program has ended")

    def connect(self, timeout):
        def registered():
            self.check_alive()
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.get_process_id() == self.pid:
                    return app
        self.app = poll("the program on the accessibility bus", registered, timeout)

    def windows(self):
        return [w for w in self.app if w is not None]

    def window(self, what, probe, timeout=10.0):
        """The first showing top-level window for which probe(window) is true."""
        def found():
            self.check_alive()
            for w in self.windows():
                if showing(w) and probe(w):
                    return w
        return poll(what, found, timeout)

    def window_with_text(self, text, timeout=10.0):
        """A message box: the window holding a label with this text."""
        return self.window("a window saying %r" % text,
                           lambda w: find(w, role=pyatspi.ROLE_LABEL, name_part=text) is not None, timeout)

    def window_titled(self, title, timeout=10.0):
        return self.window("the window %r" % title, lambda w: w.name == title, timeout)


class Screen:
    """Mouse input and pixels through the X server."""

    def __init__(self):
        self.display = xdisplay.Display()
        self.root = self.display.screen().root

    def move(self, x, y):
        xtest.fake_input(self.display, X.MotionNotify, x=x, y=y)
        self.display.sync()

    def press(self, x, y):
        self.move(x, y)
        xtest.fake_input(self.display, X.ButtonPress, 1)
        self.display.sync()

    def release(self):
        xtest.fake_input(self.display, X.ButtonRelease, 1)
        self.display.sync()

    def click(self, x, y):
        self.press(x, y)
        self.release()

    def pixels(self, x, y, width, height):
        """Rows of 32-bit pixels (blue, green, red, pad)."""
        image = self.root.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF)
        return image.data

    def colours(self, x, y, width, height):
        data = self.pixels(x, y, width, height)
        return {data[i:i + 3] for i in range(0, len(data), 4 * 7)}

    def save_png(self, path):
        geometry = self.root.get_geometry()
        width, height = geometry.width, geometry.height
        data = self.pixels(0, 0, width, height)
        stride = len(data) // height
        rows = bytearray()
        for row in range(height):
            line = data[row * stride:row * stride + width * 4]
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            rows += b"\0" + rgb

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
        png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))
        with open(path, "wb") as f:
            f.write(png)

    def close_window(self, pid, title):
        """Asks the process's top-level window of that title to close, as a
        window manager's close button does."""
        pid_atom = self.display.intern_atom("_NET_WM_PID")
        name_atom = self.display.intern_atom("_NET_WM_NAME")
        protocols = self.display.intern_atom("WM_PROTOCOLS")
        delete = self.display.intern_atom("WM_DELETE_WINDOW")
        for window in self.root.query_tree().children:
            owner = window.get_full_property(pid_atom, X.AnyPropertyType)
            name = window.get_full_property(name_atom, X.AnyPropertyType)
            if (owner and owner.value[0] == pid and name and name.value.decode("utf-8") == title
                    and window.get_attributes().map_state == X.IsViewable):
                window.send_event(xevent.ClientMessage(window=window, client_type=protocols,
                                                       data=(32, [delete, X.CurrentTime, 0, 0, 0])))
                self.display.sync()
                return
        raise Failure("no window %r of the program to close" % title)

def describe(node):
    states = node.getState()
    shown = [pyatspi.stateToString(s) for s in (pyatspi.STATE_SHOWING, pyatspi.STATE_SENSITIVE,
                                                 pyatspi.STATE_CHECKED, pyatspi.STATE_FOCUSED,
                                                 pyatspi.STATE_EDITABLE) if states.contains(s)]
    line = "%s %r [%s]" % (node.getRoleName(), node.name, ",".join(shown))
    if node.description:
        line += " description=%r" % node.description
    try:
        line += " text=%r" % node.queryText().getText(0, -1)[:200]
    except NotImplementedError:
        pass
    try:
        line += " value=%g" % node.queryValue().currentValue
    except NotImplementedError:
        pass
    return line


def dump_tree(root, depth=0):
    """Role, name, states and texts of every node, indented by depth."""
    lines = []
    try:
        lines.append("  " * depth + describe(root))
        if root.getRole() in ITEM_VIEWS and root.childCount > 20:
            lines.append("  " * (depth + 1) + "(%d items)" % root.childCount)
            return lines
        for child in root:
            if child is not None:
                lines += dump_tree(child, depth + 1)
    except Exception as error:
        lines.append("  " * depth + "(unreadable: %s)" % error)
    return lines


def unnamed_controls(root):
    """Controls without a name, each with the path of roles and names above it."""
    missing = []

    def visit(node, path):
        role = node.getRole()
        here = path + ["%s %r" % (node.getRoleName(), node.name)]
        editable_text = role == pyatspi.ROLE_TEXT and has_state(node, pyatspi.STATE_EDITABLE)
        if (role in CONTROL_ROLES or editable_text) and not node.name.strip():
            missing.append(" > ".join(here))
        if role in ITEM_VIEWS:
            return
        for child in node:
            if child is not None:
                visit(child, here)
    visit(root, [])
    return missing
