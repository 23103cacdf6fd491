"""What the desktop tests share: the game as a child process, and the game's
windows as a screen reader sees them on the accessibility bus.

Everything is read and pressed through AT-SPI, the way assistive software
does: names, roles, states, actions, extents and generated key strokes.
"""

import os
import re
import socket
import subprocess
import time
import uuid

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

BUILD = os.environ.get("DUNVEX_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
GAME = os.path.join(BUILD, "dunvex")

# The longest any single step of a game may take (a computer turn at the
# fastest pace takes a few seconds).
STEP = 20.0


class TimedOut(AssertionError):
    pass


def wait_for(condition, timeout=STEP, what="the condition"):
    """Polls until condition() returns something true, and returns it."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = condition()
        except GLib.Error:  # an object that went away while being read
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise TimedOut(f"timed out after {timeout:.0f}s waiting for {what}")
        time.sleep(0.05)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def write_settings(home, **values):
    """The game's section of the settings file, as the lobby would leave it."""
    lines = ["[Dunvex]"] + [f"{key}={value}" for key, value in values.items()]
    with open(os.path.join(home, "kelvlobby.ini"), "w") as ini:
        ini.write("\n".join(lines) + "\n")


class Game:
    """One run of build/dunvex with a data folder, instance key and port of its own."""

    def __init__(self, home, args=(), port=None, instance=None, env=None):
        self.home = home
        self.port = port or free_port()
        self.log_path = os.path.join(home, f"dunvex-{uuid.uuid4().hex[:8]}.log")
        environment = dict(os.environ)
        environment.update(
            {
                "DUNVEX_HOME": home,
                "DUNVEX_PORT": str(self.port),
                "DUNVEX_INSTANCE": instance or uuid.uuid4().hex,
                # No lobby runs here, and no download may leave the machine.
                "DUNVEX_LOBBY_PORT": str(free_port()),
                "DUNVEX_LOBBY_URL": f"http://127.0.0.1:{free_port()}/KelvorLobbySetup.run",
                "QT_QPA_PLATFORM": "xcb",
                "QT_LOGGING_RULES": "dunvex.*.info=true",
            }
        )
        environment.update(env or {})
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [GAME, *args], env=environment, stdout=log, stderr=subprocess.STDOUT
            )
        self._app = None

    @property
    def pid(self):
        return self.process.pid

    def output(self):
        with open(self.log_path, errors="replace") as log:
            return log.read()

    def app(self, timeout=STEP):
        """The game's application on the accessibility bus."""
        if self._app is None:
            self._app = wait_for(self._find_app, timeout, f"dunvex {self.pid} on the bus")
        return self._app

    def _find_app(self):
        if self.process.poll() is not None:
            raise AssertionError(f"dunvex ended early:\n{self.output()}")
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.get_process_id() == self.pid:
                # Names change as the game goes on: read them fresh every time.
                app.set_cache_mask(Atspi.Cache.NONE)
                return app
        return None

    def window(self, title, timeout=STEP, role=None):
        """A shown top-level window of the game, by its title (and role)."""

        def shown():
            for frame in children(self.app()):
                if frame.name == title and showing(frame) and role in (None, frame.getRole()):
                    return frame
            return None

        return wait_for(shown, timeout, f"the window {title!r}")

    def main_window(self, timeout=STEP):
        """The player window (message boxes bear its title too)."""
        return self.window("Dunvex", timeout, pyatspi.ROLE_FRAME)

    def stop(self, timeout=10):
        """Ends the game politely (it saves its files), then for sure; a
        sanitizer's report in its log fails the test."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout)
        output = self.output()
        # Shown by pytest when the test fails.
        print(f"---- the log of dunvex {self.pid}:\n{output[-6000:]}")
        report = re.search(r"ERROR: \w+Sanitizer|runtime error:", output)
        assert not report, f"dunvex {self.pid}: {output[report.start():][:2000]}"
        return self.process.returncode


# ------------------------------------------------------------------ the tree


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def children(accessible):
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            yield child


def find_all(root, name=None, role=None):
    """Every descendant whose name matches (a regular expression, whole) and role."""
    pattern = re.compile(name) if name is not None else None
    found = []
    stack = [root]
    while stack:
        node = stack.pop()
        for child in children(node):
            stack.append(child)
            if role is not None and child.getRole() != role:
                continue
            if pattern is not None and not pattern.fullmatch(child.name or ""):
                continue
            found.append(child)
    return found


def find(root, name=None, role=None, timeout=STEP):
    """The one shown descendant that matches; waits until it is there."""

    def one():
        shown = [node for node in find_all(root, name, role) if showing(node)]
        if len(shown) > 1:
            raise AssertionError(f"{len(shown)} controls named {name!r}")
        return shown[0] if shown else None

    return wait_for(one, timeout, f"a control named {name!r}")


def chat_text(main):
    """The chat display's whole text, as a reader reads it (the entry line is
    the window's other text, and the editable one)."""
    for node in find_all(main, role=pyatspi.ROLE_TEXT):
        if not node.getState().contains(pyatspi.STATE_EDITABLE):
            text = node.queryText()
            return text.getText(0, text.characterCount)
    raise AssertionError("no chat display")


def press(accessible):
    """Does the control's first action, as a switch user's tool would."""
    actions = accessible.queryAction()
    assert actions.nActions > 0, f"{accessible.name!r} offers no action"
    assert actions.doAction(0), f"{accessible.name!r} refused its action"


def action_names(accessible):
    try:
        actions = accessible.queryAction()
    except NotImplementedError:
        return []
    return [actions.getName(index) for index in range(actions.nActions)]


def focus(accessible):
    assert accessible.queryComponent().grabFocus(), f"{accessible.name!r} took no focus"


def focused(accessible):
    return accessible.getState().contains(pyatspi.STATE_FOCUSED)


def extents(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (box.x, box.y, box.width, box.height)


def active(frame):
    return frame.getState().contains(pyatspi.STATE_ACTIVE)


_keycodes = {}


def keycode(name):
    """The X server's key code of a key by its XKB name (LALT, TAB)."""
    if not _keycodes:
        keymap = subprocess.run(["xkbcomp", "-xkb", os.environ["DISPLAY"], "-"],
                                capture_output=True, text=True).stdout
        _keycodes.update(re.findall(r"^\s*<(\w+)>\s*=\s*(\d+);", keymap, re.M))
    return int(_keycodes[name])


def switch_to(frame):
    """Brings a window to the front as a keyboard user does: Alt+Tab, through
    the window manager, until that window is the active one."""
    for _ in range(4):
        if active(frame):
            return
        alt = keycode("LALT")
        pyatspi.Registry.generateKeyboardEvent(alt, None, pyatspi.KEY_PRESS)
        pyatspi.Registry.generateKeyboardEvent(keycode("TAB"), None, pyatspi.KEY_PRESSRELEASE)
        pyatspi.Registry.generateKeyboardEvent(alt, None, pyatspi.KEY_RELEASE)
        try:
            wait_for(lambda: active(frame), timeout=2, what="the window to come to the front")
        except TimedOut:
            continue
    assert active(frame), f"Alt+Tab never brought {frame.name!r} to the front"


KEYSYMS = {"space": 0x20, "Return": 0xFF0D, "Up": 0xFF52, "Down": 0xFF54, "Escape": 0xFF1B}


def key(name):
    """One key stroke, sent through the accessibility registry to the focused window."""
    keysym = KEYSYMS.get(name) or ord(name)
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
