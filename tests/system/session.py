"""What the system scripts share: a private work folder as HOME and
XDG_RUNTIME_DIR, processes started each in a group of their own, and their
end, crash or not."""
import os, shutil, signal, subprocess, tempfile

work = tempfile.mkdtemp()
started = []
# Everything started here keeps its files (the bus socket, dconf's cache) in
# the work folder, and runs in a group of its own that ends with it.
os.mkdir(os.path.join(work, "run"), 0o700)
os.environ.update(HOME=work, XDG_RUNTIME_DIR=os.path.join(work, "run"))


def start(args, **kw):
    kw.setdefault("stdout", subprocess.DEVNULL)
    started.append(subprocess.Popen(args, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    start_new_session=True, **kw))
    return started[-1]


def first_line(args):
    """Starts args with a pipe's write end appended; the first line written to it."""
    read_end, write_end = os.pipe()
    start(args + [str(write_end)], pass_fds=(write_end,))
    os.close(write_end)
    return os.fdopen(read_end).readline().strip()


def x_server():
    return ":" + first_line(["Xvfb", "-screen", "0", "1280x1024x24", "-noreset", "-nolisten", "tcp", "-displayfd"])


def end():
    # SIGTERM, so that Xvfb removes its socket and the diary its private folder;
    # to the group, so that a bus launcher's dbus-daemon ends too.
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
