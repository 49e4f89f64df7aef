#!/usr/bin/python3
"""A screen reader's view of the diary: the AT-SPI registry on a private session
bus (run under dbus-run-session), the program on an X server of its own, and
pyatspi listing the window's accessible tree, which it prints.

    accessible_tree.py PROGRAM_FOLDER
"""
import os, re, shutil, signal, subprocess, sys, tempfile, time

try:
    import pyatspi
except ImportError:
    print("python3-pyatspi is not installed")
    sys.exit(77)

work = tempfile.mkdtemp()
started = []
# Everything started here keeps its files (the bus socket, dconf's cache) in
# the work folder, and runs in a group of its own that ends with it.
os.mkdir(os.path.join(work, "run"), 0o700)
os.environ.update(HOME=work, XDG_RUNTIME_DIR=os.path.join(work, "run"))


def start(args, **kw):
    started.append(subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    start_new_session=True, **kw))


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


DATE = r"選択中の日付: \d{4}年\d{1,2}月\d{1,2}日\(.\)"


try:
    read_end, write_end = os.pipe()
    start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-noreset", "-nolisten", "tcp"],
          pass_fds=(write_end,))
    os.close(write_end)
    display = ":" + os.fdopen(read_end).readline().strip()
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
                       ("終了", "push button"), ("天気マーク: なし", None), ("カレンダー", None), ("3時間目", "label")):
        assert name in seen and role in (None, seen[name].getRoleName()), "missing or wrong: %s" % name
    assert "文字の色" in seen["3時間目"].description
    assert re.fullmatch(DATE, seen["カレンダー"].description)
finally:
    # SIGTERM, so that Xvfb removes its socket and the diary its private folder;
    # to the group, so that the bus launcher's dbus-daemon ends too.
    for p in reversed(started):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(p.pid, sig)
                p.wait(timeout=10)
                break
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        p.wait()
    shutil.rmtree(work, ignore_errors=True)
