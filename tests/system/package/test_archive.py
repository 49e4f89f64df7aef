#!/usr/bin/python3
"""The shipped archive as a pupil gets it: packed by tools/package.sh from an
empty environment, unpacked into a folder with spaces and Japanese in its name,
started there on an X display, and again through the launcher it installs.

    /usr/bin/python3 test_archive.py <source folder> <build folder> <version>
"""

import os
import re
import signal
import stat
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest

import xlrd

SOURCE, BUILD, VERSION = sys.argv[1], sys.argv[2], sys.argv[3]
ARCHIVE_NAME = 'merrow-nikki-%s-Linux.tar.gz' % VERSION
WEATHER = ['はれ.ico', 'くもり.ico', 'あめ.ico', 'ゆき.ico', 'かみなり.ico']
SHIPPED = {'pravok', 'install-launcher.sh', 'merrow-nikki.png', *WEATHER}
UTF8 = dict(os.environ, LC_ALL='C.UTF-8')


def run(args, text=True, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=text, **kw)


def wait_for(what, predicate, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = predicate()
        if result:
            return result
        time.sleep(0.1)
    raise AssertionError('timed out waiting for ' + what)


class Display:
    """An Xvfb of its own; -displayfd picks a free number."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x1024x24',
             '-noreset', '-nolisten', 'tcp'],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.name = ':' + f.readline().strip()

    def close(self):
        self.server.terminate()
        self.server.wait()

    def main_window(self):
        """Waits past the splash for the diary's own window: (id, WM_CLASS)."""
        def find():
            tree = run(['xwininfo', '-display', self.name, '-root', '-tree'], env=UTF8).stdout
            return re.search(r'(0x[0-9a-f]+) "Merrow日記Lt\.": \((.*?)\)', tree)
        return wait_for('the main window', find).groups()

    def colours_in(self, window):
        shot = subprocess.run(['import', '-display', self.name, '-window', window, 'png:-'], capture_output=True)
        return int(subprocess.run(['identify', '-format', '%k', 'png:-'], input=shot.stdout,
                                  capture_output=True).stdout or 0)


class TestArchive(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix='archive-')
        cls.root = cls.scratch.name
        # As a user starts it: no locale, nothing but a path and a home.
        home = os.path.join(cls.root, 'home-package')
        os.makedirs(home)
        package = subprocess.run(['bash', os.path.join(SOURCE, 'tools', 'package.sh')],
                                 env={'HOME': home, 'PATH': '/usr/bin:/bin:/usr/sbin:/sbin'}, cwd='/',
                                 capture_output=True, text=True)
        said = package.stdout.strip().splitlines() or ['']
        cls.archive = said[-1]
        assert package.returncode == 0 and os.path.basename(cls.archive) == ARCHIVE_NAME, \
            package.stdout[-2000:] + package.stderr[-2000:]
        cls.display = Display()

    @classmethod
    def tearDownClass(cls):
        # A failed case may leave its program running; it must not outlive the test.
        for pid in cls.programs_under(cls.root):
            os.kill(pid, signal.SIGKILL)
        cls.display.close()
        cls.scratch.cleanup()

    @staticmethod
    def programs_under(folder):
        found = []
        for pid in filter(str.isdigit, os.listdir('/proc')):
            try:
                exe = os.readlink('/proc/%s/exe' % pid)
            except OSError:
                continue
            if exe.startswith(folder + os.sep) and exe.endswith(os.sep + 'pravok'):
                found.append(int(pid))
        return found

    def unpack(self, folder_name):
        """Unpacks with tar, as a user would, and gives the program folder."""
        where = os.path.join(self.root, folder_name)
        os.makedirs(where)
        run(['tar', 'xzf', self.archive], cwd=where)
        return os.path.join(where, 'merrow-nikki')

    def start(self, argv, home):
        # Only what a login gives: no library path, no locale, no Qt settings, no
        # runtime folder, no session bus; the temporary folder one the test sees.
        os.makedirs(home + '-tmp', exist_ok=True)
        env = {'HOME': home, 'PATH': '/usr/bin:/bin', 'DISPLAY': self.display.name, 'TMPDIR': home + '-tmp'}
        with self.log() as log:
            return subprocess.Popen(argv, env=env, cwd='/', stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=log)

    def log(self):
        # A file, not a pipe: a pipe held by the program would keep its reader waiting.
        return open(os.path.join(self.root, 'program.log'), 'ab')

    def close_orderly(self, pid):
        os.kill(pid, signal.SIGTERM)

        def ended():
            try:
                with open('/proc/%d/stat' % pid) as f:
                    return f.read().split(') ')[1].startswith('Z')
            except OSError:
                return True
        wait_for('the program to end', ended)

    def test_archive_and_install_hold_only_the_program_folder(self):
        with tarfile.open(self.archive) as tar:
            members = {m.name: m for m in tar.getmembers()}
        self.assertEqual(set(members), {'merrow-nikki'} | {'merrow-nikki/' + f for f in SHIPPED})
        for name in ('pravok', 'install-launcher.sh'):
            self.assertTrue(members['merrow-nikki/' + name].mode & stat.S_IXUSR, name)

        prefix = os.path.join(self.root, 'installed')
        run(['cmake', '--install', BUILD, '--prefix', prefix])
        self.assertEqual(os.listdir(prefix), ['merrow-nikki'])
        self.assertEqual(set(os.listdir(os.path.join(prefix, 'merrow-nikki'))), SHIPPED)

    def test_unpacked_program_starts_and_makes_its_diary_beside_itself(self):
        folder = self.unpack('ぼくの 日記帳')
        # Qt from the system, found without a run path into the build.
        self.assertNotIn('PATH', run(['readelf', '-d', os.path.join(folder, 'pravok')]).stdout)
        home = os.path.join(self.root, 'home-start')
        os.makedirs(home)
        program = self.start([os.path.join(folder, 'pravok')], home)
        try:
            window, wm_class = self.display.main_window()
            self.assertEqual(wm_class, '"pravok" "pravok"')   # the launcher's StartupWMClass
            # Captions, calendar digits and box borders in their own colours; an
            # undrawn window is one flat colour.
            wait_for('the page to be drawn', lambda: self.display.colours_in(window) >= 16)
            self.assertEqual(program.poll(), None)
        finally:
            self.close_orderly(program.pid)
        self.assertEqual(program.wait(), 0)

        book = xlrd.open_workbook(os.path.join(folder, 'nikki.xls'))
        sheet = book.sheet_by_name('Sheet1')
        self.assertEqual((sheet.nrows, sheet.ncols), (366, 27))
        with open(os.path.join(folder, 'inf.txt'), 'rb') as f:
            self.assertEqual(f.read().count(b'\r\n'), 6)
        # The data files are all it wrote: no temporary file left, nothing elsewhere.
        self.assertEqual(set(os.listdir(folder)), SHIPPED | {'nikki.xls', 'inf.txt'})
        # No D-Bus daemon started for it (it would leave ~/.dbus), no runtime folder.
        self.assertEqual(os.listdir(home) + os.listdir(home + '-tmp'), [])
        with open(os.path.join(self.root, 'program.log'), 'rb') as f:
            self.assertNotIn(b'XDG_RUNTIME_DIR', f.read())

    def test_launcher_starts_the_program_wherever_the_folder_is(self):
        # The folder's name takes every character the launcher entry must escape.
        name = '100% "本気" $HOME `x` \\ 日記'
        folder = self.unpack(os.path.join('launcher', name))
        home = os.path.join(self.root, 'home-launcher')
        os.makedirs(home)
        env = {'HOME': home, 'PATH': '/usr/bin:/bin'}
        run(['sh', os.path.join(folder, 'install-launcher.sh')], env=env, cwd='/')
        entry = os.path.join(home, '.local/share/applications/merrow-nikki.desktop')
        run(['desktop-file-validate', entry])
        with open(entry, encoding='utf-8') as f:
            keys = dict(line.rstrip('\n').split('=', 1) for line in f if '=' in line)
        self.assertEqual(keys['Name[ja]'], 'merrow日記lite')
        self.assertEqual(keys['X-Merrow-Nikki-Version'], VERSION)
        self.assertIn(VERSION, keys['Comment[ja]'])
        self.assertEqual(keys['Icon'].replace('\\\\', '\\'),
                         os.path.join(folder, 'merrow-nikki.png'))

        # GLib reads the entry as GNOME, Xfce and Cinnamon menus do.
        with self.log() as log:
            launch = subprocess.run(
                ['gio', 'launch', entry], env=dict(env, DISPLAY=self.display.name, LANG='C.UTF-8'),
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=30)
        self.assertEqual(launch.returncode, 0)
        started = wait_for('the launched program', lambda: self.programs_under(folder))
        self.assertEqual(len(started), 1)
        self.display.main_window()
        self.close_orderly(started[0])
        self.assertTrue(os.path.exists(os.path.join(folder, 'nikki.xls')))

        run(['sh', os.path.join(folder, 'install-launcher.sh'), '--remove'], env=env)
        self.assertFalse(os.path.exists(entry))


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
