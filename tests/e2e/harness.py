"""End-to-end harness: the real corvane binary under Xvfb, driven through AT-SPI and xdotool,
against corvane-sim instruments on pseudo-terminals."""
import ctypes
import ctypes.util
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi  # noqa: F401  (imported early so a missing package fails loudly)


class Session:
    def __init__(self, build_dir, name):
        self.build_dir = os.path.abspath(build_dir)
        self.name = name
        self.tmp = tempfile.mkdtemp(prefix="corvane-e2e-")
        self.data_home = os.path.join(self.tmp, "data")
        self.out_dir = os.path.join(
            os.environ.get("CORVANE_TEST_OUTPUT", os.path.join(self.build_dir, "test-output")),
            "e2e", name)
        os.makedirs(self.out_dir, exist_ok=True)
        self.procs = []
        self.sims = {}
        self.display = None
        self.app = None

    # --- X server -------------------------------------------------------------------------
    def start_x(self):
        rfd, wfd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(wfd), "-screen", "0", "1280x900x24",
                                 "-nolisten", "tcp"], pass_fds=(wfd,),
                                stderr=subprocess.DEVNULL)
        os.close(wfd)
        num = b""
        while not num.endswith(b"\n"):
            chunk = os.read(rfd, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            num += chunk
        os.close(rfd)
        self.display = ":" + num.decode().strip()
        self.procs.append(xvfb)
        os.environ["DISPLAY"] = self.display

    # --- simulators -----------------------------------------------------------------------
    def start_sim(self, com, args):
        link = os.path.join(self.tmp, "sim-com%d" % com)
        log = os.path.join(self.tmp, "sim-com%d.log" % com)
        memory = os.path.join(self.tmp, "sim-com%d.eeprom" % com)
        sim = os.path.join(self.build_dir, "sim", "corvane-sim")
        started = time.time()
        proc = subprocess.Popen([sim, "--link", link, "--log", log, "--memory", memory]
                                + list(args),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.time() + 10
        while not os.path.exists(link):
            if proc.poll() is not None or time.time() > deadline:
                raise RuntimeError("corvane-sim did not start: %s" % proc.stderr.read())
            time.sleep(0.05)
        self.procs.append(proc)
        # The log's times count from the simulator's start, which is near enough to this one.
        self.sims[com] = {"proc": proc, "link": link, "log": log, "memory": memory,
                          "started": started}
        return link

    def stop_sim(self, com):
        sim = self.sims[com]
        sim["proc"].send_signal(signal.SIGTERM)
        sim["proc"].wait(timeout=10)

    def sim_log(self, com):
        with open(self.sims[com]["log"], encoding="utf-8", errors="replace") as f:
            return f.read()

    def sim_memory(self, com):
        """The simulator's EEPROM as it is now: a list of 256 byte values."""
        cells = []
        with open(self.sims[com]["memory"], encoding="ascii") as f:
            for line in f:
                cells += [int(b, 16) for b in line.split(":", 1)[1].split()]
        return cells

    # --- settings file --------------------------------------------------------------------
    def settings_path(self):
        return os.path.join(self.data_home, "HALVEX", "Corvane", "Corvane.ini")

    def write_settings(self, text):
        os.makedirs(os.path.dirname(self.settings_path()), exist_ok=True)
        with open(self.settings_path(), "w", encoding="utf-8") as f:
            f.write(text)

    def ports_section(self, extra=""):
        lines = ["[Ports]"] + ["COM%d=%s" % (c, s["link"]) for c, s in sorted(self.sims.items())]
        return "\n".join(lines) + "\n" + extra

    def read_settings(self):
        with open(self.settings_path(), encoding="utf-8-sig") as f:
            return f.read()

    # --- the program ----------------------------------------------------------------------
    def start_app(self, timeout=30):
        env = dict(os.environ)
        env.update({"XDG_DATA_HOME": self.data_home, "QT_QPA_PLATFORM": "xcb",
                    "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1",
                    "LANG": env.get("LANG", "C.UTF-8")})
        exe = os.path.join(self.build_dir, "app", "corvane")
        self.app_proc = subprocess.Popen([exe], env=env, stdout=open(
            os.path.join(self.out_dir, "corvane.stdout"), "w"), stderr=subprocess.STDOUT)
        self.procs.append(self.app_proc)
        self.app = self.wait_for(lambda: self.find_app(), timeout, "corvane on the AT-SPI bus")
        return self.app

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.name and a.name.lower().startswith("corvane"):
                return a
        return None

    # --- widgets --------------------------------------------------------------------------
    def find(self, name=None, role=None, root=None, contains=False):
        root = root or self.app

        def match(acc):
            try:
                if role is not None and acc.getRoleName() != role:
                    return False
                if name is None:
                    return True
                return (name in (acc.name or "")) if contains else acc.name == name
            except Exception:
                return False
        return pyatspi.findDescendant(root, match)

    def find_all(self, name=None, role=None, root=None):
        # A widget that goes away during the walk leaves a hole in the tree: walk again.
        for attempt in range(5):
            try:
                return pyatspi.findAllDescendants(
                    root or self.app, lambda a: (role is None or a.getRoleName() == role)
                    and (name is None or a.name == name))
            except (TypeError, AttributeError):
                if attempt == 4:
                    raise
                time.sleep(0.2)

    def wait_find(self, name=None, role=None, timeout=15, contains=False):
        return self.wait_for(lambda: self.find(name, role, contains=contains), timeout,
                             "widget %r (%s)" % (name, role))

    def press(self, acc):
        action = acc.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "press", "click", "Click", "SetFocus"):
                action.doAction(i)
                return
        action.doAction(0)

    def wait_for(self, fn, timeout, what):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                r = fn()
            except Exception:
                r = None
            if r:
                return r
            time.sleep(0.1)
        self.screenshot("timeout")
        raise AssertionError("timed out waiting for " + what)

    # --- input and evidence ---------------------------------------------------------------
    def key(self, *keys):
        for k in keys:
            subprocess.run(["xdotool", "key", k], check=True)
            time.sleep(0.15)  # the X server drops presses that come faster

    def type_text(self, text):
        subprocess.run(["xdotool", "type", "--delay", "120", text], check=True)

    def click(self, x, y, button=1):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)], check=True)

    def click_widget(self, acc, button=1):
        comp = acc.queryComponent()
        x, y, w, h = comp.getExtents(pyatspi.DESKTOP_COORDS)
        self.click(x + w // 2, y + h // 2, button)

    def close_window(self, title="Corvane"):
        """Asks the top-level window to close, as a window manager's close button does."""
        close_top_level(self.display, title)

    def visible_windows(self):
        """Titles of the mapped top-level windows (AT-SPI is slow to report a second dialog)."""
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                             capture_output=True, text=True)
        titles = []
        for w in out.stdout.split():
            name = subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                                  text=True).stdout.strip()
            titles.append(name)
        return titles

    def showing(self, acc):
        try:
            return acc.getState().contains(pyatspi.STATE_SHOWING)
        except Exception:
            return False

    def find_showing(self, name=None, role=None, root=None):
        found = self.find_all(name, role, root)
        shown = [a for a in found if self.showing(a)]
        return shown[0] if shown else None

    def find_showing_prefix(self, prefix, root=None):
        found = pyatspi.findAllDescendants(root or self.app,
                                           lambda a: (a.name or "").startswith(prefix))
        shown = [a for a in found if self.showing(a)]
        return shown[0] if shown else None

    def enabled(self, acc):
        try:
            return acc.getState().contains(pyatspi.STATE_ENABLED)
        except Exception:
            return False

    def screenshot(self, label):
        path = os.path.join(self.out_dir, "%s.png" % label)
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def close(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
        # The simulators' frame logs and the settings file are kept with the screenshots.
        for com, sim in self.sims.items():
            if os.path.exists(sim["log"]):
                shutil.copy(sim["log"], os.path.join(self.out_dir, "sim-com%d.log" % com))
        if os.path.exists(self.settings_path()):
            shutil.copy(self.settings_path(), os.path.join(self.out_dir, "Corvane.ini"))
        shutil.rmtree(self.tmp, ignore_errors=True)


class _XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessage), ("pad", ctypes.c_long * 24)]


def close_top_level(display, title):
    """Sends WM_DELETE_WINDOW to the mapped window titled title (there is no window manager)."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                         capture_output=True, text=True, env=dict(os.environ, DISPLAY=display))
    ids = [int(w) for w in out.stdout.split()]
    if not ids:
        raise AssertionError("no window titled %r" % title)
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    try:
        ev = _XEvent()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = ids[0]
        ev.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.xclient.format = 32
        ev.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(dpy, ids[0], 0, 0, ctypes.byref(ev))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)


def run(journeys, build_dir):
    """Runs each journey in a fresh session; prints the closing line CTest's log shows."""
    passed = failed = 0
    for fn in journeys:
        s = Session(build_dir, fn.__name__)
        try:
            s.start_x()
            fn(s)
            passed += 1
            print("PASS", fn.__name__, flush=True)
        except Exception as e:  # noqa: BLE001 - every failure is reported, then the next runs
            failed += 1
            print("FAIL", fn.__name__, repr(e), flush=True)
            import traceback
            traceback.print_exc()
        finally:
            s.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0
