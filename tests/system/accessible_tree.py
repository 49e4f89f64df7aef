#!/usr/bin/python3
"""A screen reader's view of the diary: the AT-SPI registry on a private session
bus (run under dbus-run-session), the program on an X server of its own, and
pyatspi listing the window's accessible tree, which it prints; then the
calendar's keys, each of which must move the screen reader's focus to the
cell of the new day.

    accessible_tree.py PROGRAM_FOLDER
"""
import datetime, os, re, shutil, subprocess, sys, time

try:
    import pyatspi
except ImportError:
    print("python3-pyatspi is not installed")
    sys.exit(77)

from session import end, start, work, x_server


def main_window():
    for app in pyatspi.Registry.getDesktop(0):
        for window in app or []:
            if window and window.name == "Merrow日記Lt.":
                return window


def walk(node, depth, seen, show=True):
    for child in node:
        if child is not None:
            if show and (child.name or child.description):  # not the boxes' scroll bars and fillers
                print("%s%s: %s | %s" % ("  " * depth, child.getRoleName(), child.name, child.description))
            seen[child.name] = child
            walk(child, depth + 1, seen, show)
    return seen


DAY = r"(\d{4})年(\d{1,2})月(\d{1,2})日\((.)\)"
DATE = "選択中の日付: " + DAY
FIRST, LAST = datetime.date(2002, 4, 1), datetime.date(2003, 3, 31)


def month_end(d):
    return (d.replace(day=28) + datetime.timedelta(days=4)).replace(day=1) - datetime.timedelta(days=1)


def moved(d, key):
    """The calendar's rules for a key: the day it selects, or None if it stays."""
    step = {"Right": 1, "Left": -1, "Down": 7, "Up": -7}
    months = {"Next": 1, "Prior": -1}
    if key in step:
        target = d + datetime.timedelta(days=step[key])
    elif key in months:  # the same day, or the last of a shorter month
        y, m = divmod(d.year * 12 + d.month - 1 + months[key], 12)
        first = datetime.date(y, m + 1, 1)
        target = min(first + datetime.timedelta(days=d.day - 1), month_end(first))
    else:
        target = d.replace(day=1) if key == "Home" else month_end(d)
    return target if FIRST <= target <= LAST and target != d else None


def spoken(d):
    return "%d年%d月%d日(%s)" % (d.year, d.month, d.day, "月火水木金土日"[d.weekday()])


try:
    display = x_server()
    start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    folder = shutil.copytree(sys.argv[1], os.path.join(work, "program"))
    start([os.path.join(folder, "pravok")], cwd="/",
          env=dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   LC_ALL="C.UTF-8"))
    deadline = time.monotonic() + 30
    while not (window := main_window()):
        assert time.monotonic() < deadline, "the diary's window never reached the registry"
        time.sleep(0.2)
    # The first activation fills the page; the calendar then tells its date.
    while not re.fullmatch(DATE, getattr(walk(window, 0, {}, False).get("カレンダー"), "description", "")):
        assert time.monotonic() < deadline, "the first activation never came"
        time.sleep(0.1)
    seen = walk(window, 0, {})
    for name, role in (("今日の予定", "text"), ("出欠記録", "text"), ("3時間目の教科", "text"),
                       ("3時間目の授業内容", "text"), ("感想・記録", "text"), ("色変更", "push button"),
                       ("終了", "push button"), ("天気マーク: なし", "push button"), ("カレンダー", None),
                       ("3時間目", "label")):
        assert name in seen and role in (None, seen[name].getRoleName()), "missing or wrong: %s" % name
    assert "文字の色" in seen["3時間目"].description
    # What the mouse clicks, a screen reader presses; the window is a frame that names the day.
    for name in ("3時間目", "天気マーク: なし"):
        actions = seen[name].queryAction()
        assert "Press" in [actions.getName(k) for k in range(actions.nActions)], name
    assert window.getRoleName() == "frame" and re.fullmatch("表示中の日: " + DAY, window.description), window.description
    calendar = seen["カレンダー"]
    assert re.fullmatch(DATE, calendar.description)

    # A table of 6 weeks under the weekdays and the month.
    assert calendar.getRoleName() == "table", calendar.getRoleName()
    cells = [c for c in calendar if c.getRoleName() == "table cell"]
    assert len(cells) == 42 and all(re.fullmatch(DAY, c.name) for c in cells), [c.name for c in cells]
    table = calendar.queryTable()
    assert (table.nRows, table.nColumns) == (6, 7)
    assert [table.getColumnHeader(k).name for k in range(7)] == list("日月火水木金土")
    assert re.fullmatch(r"\d{4}年\d{1,2}月", table.caption.name), table.caption.name

    from gi.repository import GLib
    focused = []
    pyatspi.Registry.registerEventListener(
        lambda e: focused.append(e.source.name) if e.detail1 and e.source.getRoleName() == "table cell" else None,
        "object:state-changed:focused")

    def focus_reaches(name, what):
        until = time.monotonic() + 5
        while name not in focused:
            assert time.monotonic() < until, "%s: no focus on %s, only %s" % (what, name, focused)
            GLib.MainContext.default().iteration(False) or time.sleep(0.02)
        del focused[:]

    def xdotool(*args):
        subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display), check=True)

    day = datetime.date(*map(int, re.fullmatch(DATE, calendar.description).groups()[:3]))
    # Without a window manager nothing gives the window the X focus, and Qt
    # sends no focus events for an inactive window.
    xdotool("search", "--name", "Merrow", "windowfocus")
    assert calendar.queryComponent().grabFocus()
    focus_reaches(spoken(day), "the focus")
    # From March 2003 on, Page Down would stay; start a month back there.
    keys = (["Prior"] if day.month == 3 else []) + ["Right", "Down", "Next", "Home", "End"]
    for key in keys:
        target = moved(day, key)
        xdotool("key", key)
        if target:
            focus_reaches(spoken(target), key)
            day = target
    # The search window closed, the keyboard is back on the day it left.
    xdotool("key", "ctrl+f")
    while not any(w and w.name == "日記の検索" for app in pyatspi.Registry.getDesktop(0) for w in app or []):
        assert time.monotonic() < deadline + 30, "no search window"
        time.sleep(0.05)
    xdotool("key", "Escape")
    focus_reaches(spoken(day), "closing the search")
finally:
    end()
