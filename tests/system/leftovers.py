#!/usr/bin/python3
"""What the test suite left behind, run last by tools/test.sh: processes it
started (marked by PRAVOK_SUITE in their environment, or living in its
folders) still alive, files in the home, temporary and runtime folders it
gave the tests, X sockets and lock files without a server. Prints each and
fails; with --kill it ends and removes them instead.

    leftovers.py [--kill] SCRATCH [X_SOCKETS_BEFORE]
"""
import os, signal, sys, time

kill = sys.argv[1] == '--kill'
scratch, x_before = os.path.realpath(sys.argv[1 + kill]), set(sys.argv[2 + kill:3 + kill] and sys.argv[2 + kill].split())


def read(path):
    try:
        with open(path, 'rb') as f:
            return f.read()
    except OSError:
        return b''


def ours(pid):
    env = dict(v.split(b'=', 1) for v in read('/proc/%s/environ' % pid).split(b'\0') if b'=' in v)
    try:
        places = [os.readlink('/proc/%s/%s' % (pid, p)) for p in ('exe', 'cwd')] + [os.fsdecode(env.get(b'HOME', b''))]
    except OSError:
        return False
    return env.get(b'PRAVOK_SUITE') == os.fsencode(scratch) or any(p.startswith(scratch + '/') for p in places)


def alive(pid):
    try:
        return os.kill(pid, 0) is None
    except OSError:
        return False


def stale_x():
    """New X sockets and lock files whose server is gone."""
    found = []
    for name in sorted(set(os.listdir('/tmp/.X11-unix') if os.path.isdir('/tmp/.X11-unix') else []) - x_before):
        lock = '/tmp/.%s-lock' % name
        server = read(lock).strip()
        if not server.isdigit() or not alive(int(server)):
            found += ['/tmp/.X11-unix/' + name] + ([lock] if os.path.exists(lock) else [])
    return found


processes = [int(p) for p in os.listdir('/proc') if p.isdigit() and int(p) not in (os.getpid(), os.getppid()) and ours(p)]
# In the runtime folder, as in a login's, the session bus makes its empty
# service folders; what counts there are files.
files = [os.path.join(top, name) for folder in ('home', 'tmp', 'run')
         for top, dirs, names in os.walk(os.path.join(scratch, folder))
         for name in (names if folder == 'run' else dirs + names)]
if kill:
    for pid in processes:
        os.kill(pid, signal.SIGTERM)
    for _ in range(50):
        if any(map(alive, processes)):
            time.sleep(0.1)
    for pid in filter(alive, processes):
        os.kill(pid, signal.SIGKILL)
    for path in stale_x():
        os.remove(path)
    sys.exit(0)
for pid in processes:
    print('still running: %d %s' % (pid, read('/proc/%d/cmdline' % pid).replace(b'\0', b' ').decode(errors='replace')))
for path in files + stale_x():
    print('left behind: ' + path)
sys.exit(1 if processes or files or stale_x() else 0)
