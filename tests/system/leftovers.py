#!/usr/bin/python3
"""What the test suite left behind, run last by tools/test.sh: processes it
started (marked by PRAVOK_SUITE in their environment, or living in its
folders) still alive, files in the home, temporary and runtime folders it
gave the tests, X sockets and lock files without a server. Prints each and
fails; with --kill it ends and removes them instead.

    leftovers.py [--kill] SCRATCH [X_SOCKETS_BEFORE]
"""
import os, signal, sys, time

kill = sys.argv[1:2] == ['--kill']
args = sys.argv[1 + kill:]
scratch = os.path.realpath(args[0])
x_before = set(args[1].split()) if len(args) > 1 else set()


def ours(pid):
    try:
        with open('/proc/%s/environ' % pid, 'rb') as f:
            env = dict(v.split(b'=', 1) for v in f.read().split(b'\0') if b'=' in v)
        places = [os.readlink('/proc/%s/%s' % (pid, p)) for p in ('exe', 'cwd')]
    except OSError:
        return False
    places.append(os.fsdecode(env.get(b'HOME', b'')))
    return (env.get(b'PRAVOK_SUITE') == os.fsencode(scratch)
            or any(p.startswith(scratch + '/') for p in places))


def command(pid):
    try:
        with open('/proc/%s/cmdline' % pid, 'rb') as f:
            return f.read().replace(b'\0', b' ').decode(errors='replace').strip()
    except OSError:
        return '?'


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def stale_x():
    """New X sockets and lock files whose server is gone."""
    found = []
    for name in sorted(set(os.listdir('/tmp/.X11-unix')) - x_before if os.path.isdir('/tmp/.X11-unix') else []):
        lock = '/tmp/.%s-lock' % name
        try:
            with open(lock) as f:
                server = int(f.read().strip() or 0)
        except (OSError, ValueError):
            server = 0
        if not server or not alive(server):
            found += ['/tmp/.X11-unix/' + name] + ([lock] if os.path.exists(lock) else [])
    return found


me = {os.getpid(), os.getppid()}
processes = [int(p) for p in os.listdir('/proc') if p.isdigit() and int(p) not in me and ours(p)]
# In the runtime folder, as in a login's, the session bus makes its empty
# service folders; what counts there are files.
files = [os.path.join(top, name) for folder in ('home', 'tmp', 'run')
         for top, dirs, names in os.walk(os.path.join(scratch, folder))
         for name in (names if folder == 'run' else dirs + names)]
if kill:
    for pid in processes:
        os.kill(pid, signal.SIGTERM)
    for _ in range(50):
        if not any(map(alive, processes)):
            break
        time.sleep(0.1)
    for pid in filter(alive, processes):
        os.kill(pid, signal.SIGKILL)
    for path in stale_x():
        os.remove(path)
    sys.exit(0)
for pid in processes:
    print('still running: %d %s' % (pid, command(pid)))
for path in files + stale_x():
    print('left behind: ' + path)
sys.exit(1 if processes or files or stale_x() else 0)
