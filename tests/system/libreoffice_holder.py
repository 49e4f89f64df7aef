#!/usr/bin/python3
"""LibreOffice (headless, a profile of its own) holding a workbook open, as a
pupil's Calc would: it leaves its lock file beside it while open.

    libreoffice_holder.py FILE

Prints "open" once the file is loaded, then takes commands on stdin:
"set ROW COLUMN TEXT" sets a cell of Sheet1 (0-based) and saves the file
as Excel 97 ("saved"); "close" closes it ("closed") and ends. Exit 77 when
Python's UNO bridge is missing."""
import os, shutil, subprocess, sys, tempfile, time

# The UNO bridge and soffice write ~/.config and dconf's cache: into the profile.
os.environ.update(HOME=tempfile.mkdtemp(prefix="pravok-lo-"))
os.environ.update(XDG_RUNTIME_DIR=os.environ["HOME"])
try:
    import uno
    from com.sun.star.beans import PropertyValue
except ImportError:
    shutil.rmtree(os.environ["HOME"])
    sys.exit(77)


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def main():
    path = os.path.abspath(sys.argv[1])
    profile = os.environ["HOME"]
    pipe = "pravok-holder-%d" % os.getpid()
    office = subprocess.Popen(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--invisible",
                               "--norestore", "--nologo", "--accept=pipe,name=%s;urp;" % pipe],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + 120
        while True:
            try:
                ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                if time.monotonic() > deadline or office.poll() is not None:
                    raise
                time.sleep(0.1)
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(path), "_blank", 0, (prop("Hidden", True),))
        print("open", flush=True)
        for line in sys.stdin:
            words = line.rstrip("\n").split(" ", 3)
            if words[0] == "set":
                cell = doc.Sheets.getByName("Sheet1").getCellByPosition(int(words[2]), int(words[1]))
                cell.setString(words[3])
                doc.store()
                print("saved", flush=True)
            elif words[0] == "close":
                doc.close(True)
                print("closed", flush=True)
                break
        try:
            desktop.terminate()
        except Exception:
            pass  # the bridge goes down with the office
        office.wait(30)
    finally:
        if office.poll() is None:
            office.kill()
            office.wait()
        shutil.rmtree(profile, ignore_errors=True)


main()
