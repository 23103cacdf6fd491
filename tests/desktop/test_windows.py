"""The windows as the window manager places, frames and stacks them."""

import re
import socket
import subprocess

import pyatspi

from desktop import (Game, chat_text, extents, find, find_all, press, showing, wait_for,
                     write_settings)


def x_window(pid, title):
    """The X window of a process's top-level with that title."""
    search = ["xdotool", "search", "--all", "--pid", str(pid), "--name", f"^{title}$"]
    found = subprocess.run(search, capture_output=True, text=True).stdout.split()
    return int(found[0]) if len(found) == 1 else None


def frame_extents(window):
    """left, right, top, bottom of the frame the window manager drew around it."""
    reply = subprocess.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"],
                           capture_output=True, text=True).stdout
    numbers = re.findall(r"\d+", reply.partition("=")[2])
    return tuple(int(n) for n in numbers) if len(numbers) == 4 else None


def outer_bounds(window_accessible, pid, title):
    """The window's frame on the screen: AT-SPI's client extents widened by the frame."""
    window = wait_for(lambda: x_window(pid, title), what=f"the X window {title!r}")
    left, right, top, bottom = wait_for(lambda: frame_extents(window), what="the frame")
    x, y, width, height = extents(window_accessible)
    return (x - left, y - top, width + left + right, height + top + bottom)


def test_main_window_opens_where_the_settings_put_it(tmp_path):
    saved = (140, 90, 900, 640)
    write_settings(tmp_path, Left=saved[0], Top=saved[1], Width=saved[2], Height=saved[3])
    game = Game(str(tmp_path), ["Ann", "127.0.0.1", "true"])
    try:
        main = game.main_window()
        wait_for(lambda: outer_bounds(main, game.pid, "Dunvex") == saved,
                 what=f"the window at {saved}")
    finally:
        game.stop()


def stacking():
    """The managed X windows from bottom to top, as the window manager stacks them."""
    reply = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"],
                           capture_output=True, text=True).stdout
    return [int(window, 16) for window in re.findall(r"0x[0-9a-f]+", reply)]


def game_windows(pid):
    """{"main", "download", "box"}: the game's shown X windows by what they are."""
    found = {}
    for window in stacking():
        props = subprocess.run(["xprop", "-id", str(window), "_NET_WM_PID", "WM_NAME",
                                "_NET_WM_WINDOW_TYPE"], capture_output=True, text=True).stdout
        if f"_NET_WM_PID(CARDINAL) = {pid}" not in props:
            continue
        if '"Download The Kelvor Lobby"' in props:
            found["download"] = window
        elif "_NET_WM_WINDOW_TYPE_DIALOG" in props:
            found["box"] = window
        elif "_NET_WM_WINDOW_TYPE_NORMAL" in props:
            found["main"] = window
    return found


def box_in_front(pid, *others):
    """True once the message box and the others are up, with the box above them all."""
    windows = game_windows(pid)
    if "box" not in windows or any(other not in windows for other in others):
        return False
    order = stacking()
    return all(order.index(windows["box"]) > order.index(windows[other]) for other in others)


def alert(game):
    shown = [node for node in find_all(game.app(), role=pyatspi.ROLE_ALERT) if showing(node)]
    return shown[0] if len(shown) == 1 else None


def test_message_boxes_at_start_stay_in_front(tmp_path):
    # A damaged tally is reported while the windows are made, before the player
    # window opens: the box stays in front of it, and the lobby's offer waits
    # until the box has been answered.
    (tmp_path / "dunvextally.tld").write_bytes(b"not a tally file" * 8)
    game = Game(str(tmp_path))
    try:
        main = game.main_window()
        box = wait_for(lambda: alert(game), what="the damaged tally's notice")
        assert "could not be read whole" in " ".join(n.name for n in find_all(box))
        # Still in front once the game has logged in and settled its window.
        wait_for(lambda: "You are Connected." in chat_text(main), what="the login")
        wait_for(lambda: box_in_front(game.pid, "main"), timeout=5,
                 what="the notice in front of the player window")
        assert "download" not in game_windows(game.pid)
        press(find(box, "OK", pyatspi.ROLE_PUSH_BUTTON))
        game.window("Download The Kelvor Lobby")
    finally:
        game.stop()

    # The port is taken, so hosting the solo game fails with an error box
    # just after the lobby's offer has opened: the offer does not cover it.
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        game = Game(str(tmp_path), port=taken.getsockname()[1])
        try:
            game.window("Download The Kelvor Lobby")
            box = wait_for(lambda: alert(game), what="the error box")
            wait_for(lambda: "Listen - Error Binding Socket" in game.output(), what="the error")
            assert "Listen - Error Binding Socket" in [n.name for n in find_all(box)]
            wait_for(lambda: box_in_front(game.pid, "main", "download"), timeout=5,
                     what="the error box in front of the lobby's offer")
        finally:
            game.stop()


def screen_area():
    reply = subprocess.run(["xprop", "-root", "_NET_WORKAREA"], capture_output=True,
                           text=True).stdout
    x, y, width, height = (int(n) for n in re.findall(r"\d+", reply.partition("=")[2])[:4])
    return x, y, width, height


def on_screen(bounds, area):
    x, y, width, height = bounds
    ax, ay, aw, ah = area
    return x >= ax and y >= ay and x + width <= ax + aw and y + height <= ay + ah


def test_side_windows_open_whole_on_the_screen(tmp_path):
    # The lobby's offer is centred on the player window; with that window at
    # its default place in the top corner, the offer must not reach past the
    # top of the screen, where its title bar could no longer be grabbed.
    game = Game(str(tmp_path))
    try:
        main = game.main_window()
        offer = game.window("Download The Kelvor Lobby")
        wait_for(lambda: "You are Connected." in chat_text(main), what="the login")
        area = screen_area()
        for window, title in ((main, "Dunvex"), (offer, "Download The Kelvor Lobby")):
            bounds = outer_bounds(window, game.pid, title)
            assert on_screen(bounds, area), f"{title!r} at {bounds} reaches past the screen {area}"
    finally:
        game.stop()
