#!/usr/bin/env python3
"""End to end under a Wayland compositor, as on Debian's default desktop:
sway without a screen (its headless backend) with XWayland, real pointer
input through sway's seat, keys through the virtual keyboard (wtype), the
Wayland clipboard read by wl-paste.

The program is meant to run through XWayland whatever Qt plugins are
installed: the check fails when it comes up as a native Wayland window.
At output scales 1, 2 and 1.5 it opens a picture, clicks land on the pixel
under the pointer, the copied lines reach a Wayland program's clipboard,
the settings dialog and the information window show at their designed
sizes, and the program ends with its settings written.

sway refuses to run as root: run as root, the check runs the compositor
and the program as an unprivileged user of its own.

usage: wayland_e2e.py path/to/Vantrix   (exit 77: skipped, with the reason)
"""

import json
import os
import pwd
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vantrix_app import CLIENT_HEIGHT, COPY_BUTTON, FLASH_BUTTON, MEMO1, PICTURE, SETTINGS_BUTTON, TITLE  # noqa: E402
from xsession import Failure, Screenshot, end_process, wait_for, write_bmp  # noqa: E402

SKIP = 77
USER = "vantrix-e2e"
SCALES = tuple(os.environ.get("VANTRIX_WAYLAND_SCALES", "1 2 1.5").split())
# Picture pixels clicked; the picture's pixels carry their own coordinates
# (red x, green y, blue the mark), so the screen tells which one shows where.
CLICKS = ((3, 4), (57, 31), (120, 45), (181, 97), (236, 176))
PICTURE_SIZE = (240, 180)
MARK = 0x80
SETTINGS_TITLE = "Instellingen"
# The designed client sizes: the main window's below its menu bar.
MAIN_SIZE, SETTINGS_SIZE, INFO_SIZE = (614, 404), (410, 123), (494, 284)
HELP_MENU = (85, -10)  # the Help menu's title, above the client area


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


class User:
    """Who runs the compositor and the program: this user, or, for root,
    an unprivileged one made for the purpose."""

    def __init__(self):
        if os.geteuid() != 0:
            self.prefix = []
            self.uid, self.gid = os.getuid(), os.getgid()
            return
        try:
            pwd.getpwnam(USER)
        except KeyError:
            if subprocess.run(["useradd", "--system", "--create-home", USER]).returncode != 0:
                skip(f"running as root, and no user {USER} could be made for sway, which refuses root")
        entry = pwd.getpwnam(USER)
        self.uid, self.gid = entry.pw_uid, entry.pw_gid
        # setpriv runs the command in its own process: its pid is the program's.
        self.prefix = ["setpriv", f"--reuid={self.uid}", f"--regid={self.gid}", "--init-groups", "--"]

    def end_all(self):
        """Ends whatever the user made for the check still runs."""
        if self.prefix:
            subprocess.run(["pkill", "-KILL", "-u", USER])
            time.sleep(0.3)

    def own(self, path):
        if self.prefix:
            os.chown(path, self.uid, self.gid)


class Sway:
    """sway at output Scale with XWayland, in a window of its own on a
    virtual X server (its X11 backend): no screen is needed, and the
    pointer and keyboard the backend brings give its seat real input."""

    def __init__(self, user, work, scale):
        self.user = user
        self.runtime = tempfile.mkdtemp(prefix="run-", dir=work)
        os.chmod(self.runtime, 0o700)
        user.own(self.runtime)
        config = os.path.join(work, f"sway-{scale}.conf")
        with open(config, "w") as f:
            f.write(f"output X11-1 resolution 1600x1200 scale {scale}\n"
                    "xwayland force\n"
                    "default_floating_border none\n"
                    "for_window [shell=\"xwayland\"] floating enable\n")
        os.chmod(config, 0o644)
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "XDG_RUNTIME_DIR": self.runtime,
                    "HOME": pwd.getpwuid(user.uid).pw_dir, "WLR_BACKENDS": "x11", "WLR_RENDERER": "pixman"}
        self.log = open(os.path.join(work, f"sway-{scale}.log"), "wb")
        number = next((n for n in range(60, 100) if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                       and not os.path.exists(f"/tmp/.X{n}-lock")), None)
        if number is None:
            skip("no free X display number for sway's window")
        self.host = subprocess.Popen([*user.prefix, "Xvfb", f":{number}", "-nolisten", "tcp", "-screen", "0",
                                      "1700x1300x24"], stdout=self.log, stderr=subprocess.STDOUT)
        try:
            wait_for("the virtual X server", lambda: os.path.exists(f"/tmp/.X11-unix/X{number}"), seconds=10)
        except Failure:
            self.close_host()
            skip("no virtual X server could be started for sway's window")
        self.env["DISPLAY"] = f":{number}"
        self.process = subprocess.Popen([*user.prefix, "sway", "-c", config], env=self.env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        try:
            socket = wait_for("sway's socket", lambda: self.socket(), seconds=15)
        except Failure:
            self.close()
            skip("sway could not start here: " + open(self.log.name, errors="replace").read()[-400:])
        self.env.update(SWAYSOCK=socket, WAYLAND_DISPLAY="wayland-1")
        del self.env["DISPLAY"]  # the host's, not XWayland's
        self.display = wait_for("XWayland", lambda: self.x_display(), seconds=15)

    def socket(self):
        if self.process.poll() is not None:
            raise Failure("sway ended")
        names = [n for n in os.listdir(self.runtime) if n.startswith("sway-ipc.")]
        return os.path.join(self.runtime, names[0]) if names and "wayland-1" in os.listdir(self.runtime) else None

    def x_display(self):
        """XWayland's display: the one sway tells the programs it starts."""
        told = os.path.join(self.runtime, "display")
        if not os.path.exists(told):
            self.run("swaymsg", f"exec echo $DISPLAY > {told}")
            time.sleep(0.3)
        value = open(told).read().strip() if os.path.exists(told) else ""
        return value or None

    def run(self, *args, check=True):
        result = subprocess.run([*self.user.prefix, *args], env=self.env, capture_output=True, timeout=30)
        if check and result.returncode != 0:
            raise Failure(f"{args[0]} failed: {result.stderr.decode(errors='replace').strip()}")
        return result.stdout.decode(errors="replace")

    def tree(self):
        return json.loads(self.run("swaymsg", "-r", "-t", "get_tree"))

    def windows(self, pid):
        found = []

        def visit(node):
            if node.get("pid") == pid:
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                visit(child)
        visit(self.tree())
        return found

    def window(self, pid, name):
        return next((w for w in self.windows(pid) if re.fullmatch(name, w.get("name") or "")), None)

    def pointer(self, x, y):
        self.run("swaymsg", "seat", "seat0", "cursor", "set", str(x), str(y))

    def click(self, x, y):
        self.pointer(x, y)
        time.sleep(0.05)
        self.run("swaymsg", "seat", "seat0", "cursor", "press", "button1")
        self.run("swaymsg", "seat", "seat0", "cursor", "release", "button1")
        time.sleep(0.25)

    def type(self, text):
        # Each wtype hands XWayland a keymap of its own, and the first key
        # after a new keymap can be lost: a shift that types nothing goes first.
        self.run("wtype", "-k", "Shift_L", "-d", "8", text)

    def key(self, *keys, modifier=None):
        args = (["-M", modifier] if modifier else []) + [a for k in keys for a in ("-k", k)]
        self.run("wtype", "-k", "Shift_L", *args, *(["-m", modifier] if modifier else []))
        time.sleep(0.2)

    def screenshot(self, path=None):
        """What the output shows, in its device pixels, through grim; kept
        at Path when given."""
        shot = os.path.join(self.runtime, "shot.ppm")
        self.run("grim", "-t", "ppm", shot, check=False)
        if not os.path.exists(shot):
            return None
        if path:
            shutil.copy(shot, path)
        with open(shot, "rb") as f:
            return Screenshot(f.read())

    def clipboard(self):
        return self.run("wl-paste", "--no-newline", check=False)

    def close_host(self):
        end_process(self.host)

    def close(self):
        if hasattr(self, "process"):
            end_process(self.process)
        self.close_host()
        self.log.close()


class Program:
    """The program in a folder of its own, started as the session's user
    with no platform asked for: it must choose XWayland itself."""

    def __init__(self, sway, program, folder):
        self.sway = sway
        self.folder = folder
        self.program = os.path.join(folder, "Vantrix")
        os.makedirs(folder)
        shutil.copy(program, self.program)
        sway.user.own(folder)
        sway.user.own(self.program)
        # As a Wayland desktop session starts it: Qt would choose its Wayland
        # plugin here, were the choice left to it.
        env = dict(sway.env, DISPLAY=sway.display, XDG_SESSION_TYPE="wayland", QT_LOGGING_RULES="qt.qpa.*=false")
        self.log = open(os.path.join(folder, "out.log"), "wb")
        self.process = subprocess.Popen([*sway.user.prefix, self.program], env=env, cwd=folder,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.main = wait_for("the main window", lambda: sway.window(self.process.pid, re.escape(TITLE)), seconds=20)
        time.sleep(0.8)

    def client_origin(self):
        """The client area's top left in the compositor's logical pixels."""
        self.main = self.sway.window(self.process.pid, re.escape(TITLE))
        rect, content = self.main["rect"], self.main["window_rect"]
        menu = content["height"] - CLIENT_HEIGHT
        return rect["x"] + content["x"], rect["y"] + content["y"] + menu

    def at(self, point):
        left, top = self.client_origin()
        return left + point[0], top + point[1]

    def click(self, point):
        self.sway.click(*self.at(point))

    def choose_file(self, path):
        """Opens the picture dialog, types Path and presses Return until the
        dialog goes: the file name completer may take the first Return."""
        self.sway.key("o", modifier="ctrl")
        wait_for("the file dialog", lambda: self.sway.window(self.process.pid, "Openen"), seconds=10)
        time.sleep(0.8)
        self.sway.key("a", modifier="ctrl")
        time.sleep(0.3)
        self.sway.type(path)
        for _ in range(3):
            self.sway.key("Return")
            time.sleep(0.5)
            if not self.sway.window(self.process.pid, "Openen"):
                break

    def output(self):
        self.log.flush()
        return open(self.log.name, errors="replace").read()

    def close(self):
        end_process(self.process)
        self.log.close()


def check_scale(sway, program_path, work, scale, picture):
    app = Program(sway, program_path, os.path.join(work, f"program-{scale}"))
    try:
        shell = app.main.get("shell")
        if shell != "xwayland":
            raise Failure(f"the main window came up as a {shell} window, not through XWayland")
        rect, content = app.main["rect"], app.main["window_rect"]
        print(f"  scale {scale}: main window through XWayland at {rect['x'] + content['x']},"
              f"{rect['y'] + content['y']} (sway places floating windows itself)")
        if content["width"] != MAIN_SIZE[0] or not MAIN_SIZE[1] < content["height"] < MAIN_SIZE[1] + 40:
            raise Failure(f"scale {scale}: the main window is {content['width']} x {content['height']}, not "
                          f"{MAIN_SIZE[0]} x {MAIN_SIZE[1]} below a menu bar")
        app.click(FLASH_BUTTON)  # no flash: each click at once
        app.click(MEMO1)
        sway.type("S1")
        app.choose_file(picture)
        time.sleep(1.5)  # past the second in which clicks are ignored
        sway.pointer(0, 0)
        time.sleep(0.3)
        places = shown_at(sway.screenshot(), float(scale), app.at(PICTURE))
        for pixel in CLICKS:
            sway.click(*places[pixel])
        app.click(COPY_BUTTON)
        time.sleep(0.4)
        lines = [line for line in sway.clipboard().splitlines() if line.strip()]
        got = [tuple(int(n) for n in re.findall(r"= *(-?\d+);", line)) for line in lines]
        if got != list(CLICKS):
            raise Failure(f"scale {scale}: the clicks gave {got}, not {list(CLICKS)} (clipboard: {lines})")
        print(f"  scale {scale}: {len(CLICKS)} of {len(CLICKS)} clicks exact; the lines reached wl-paste")
        check_dialogs(sway, app, scale)
        check_message_box(sway, app, scale, work)
        sway.run("swaymsg", f"[pid={app.process.pid}] kill")
        wait_for("the program's end", lambda: app.process.poll() is not None, seconds=10)
        settings = os.path.join(app.folder, "Vantrix.ini")
        if not os.path.exists(settings):
            raise Failure(f"scale {scale}: the program ended without writing {settings}")
        print(f"  scale {scale}: ended with its settings written")
    except Failure:
        print(app.output()[-2000:])
        shot = os.path.join(os.environ.get("VANTRIX_E2E_SHOTS", tempfile.gettempdir()), "vantrix-wayland-failure.ppm")
        sway.screenshot(shot)
        print(f"The screen at the failure: {shot}")
        raise
    finally:
        app.close()


def shown_at(shot, scale, near):
    """Where on the output, in logical pixels, each clicked picture pixel
    shows: the centre of the device pixels that show its colour alone, or,
    at a fractional scale, where the compositor blends each pixel with its
    neighbours, of those within one step of it."""
    wanted = {(x, y, MARK): (x, y) for x, y in CLICKS}
    found = {pixel: [] for pixel in CLICKS}
    left, top = int(near[0] * scale) - 8, int(near[1] * scale) - 8
    right = min(shot.width, left + int((PICTURE_SIZE[0] + 16) * scale))
    bottom = min(shot.height, top + int((PICTURE_SIZE[1] + 16) * scale))
    near_found = {pixel: [] for pixel in CLICKS}
    for y in range(max(0, top), bottom):
        for x in range(max(0, left), right):
            colour = shot.pixel(x, y)
            pixel = wanted.get(colour)
            if pixel:
                found[pixel].append((x, y))
            elif abs(colour[2] - MARK) <= 2:
                for px, py in CLICKS:
                    if abs(colour[0] - px) <= 1 and abs(colour[1] - py) <= 1:
                        near_found[(px, py)].append((x, y))
    for pixel in CLICKS:
        found[pixel] = found[pixel] or near_found[pixel]
    places = {}
    for pixel, devices in found.items():
        if not devices:
            raise Failure(f"picture pixel {pixel} is not on the screen")
        centre_x = sum(x for x, _ in devices) / len(devices) + 0.5
        centre_y = sum(y for _, y in devices) / len(devices) + 0.5
        places[pixel] = (round(centre_x / scale, 2), round(centre_y / scale, 2))
    return places


def designed(scale, what, window, size):
    shown = (window["window_rect"]["width"], window["window_rect"]["height"])
    if shown != size:
        raise Failure(f"scale {scale}: the {what} is {shown[0]} x {shown[1]}, not {size[0]} x {size[1]}")
    print(f"  scale {scale}: {what} {shown[0]} x {shown[1]}, as designed")


def check_message_box(sway, app, scale, folder):
    """A file that is no picture: the message box says so, and Return
    closes it."""
    bad = os.path.join(folder, "no-picture.bmp")
    with open(bad, "wb") as f:
        f.write(b"not a bitmap")
    os.chmod(bad, 0o644)
    app.choose_file(bad)

    # Its caption is the program's title, as the main window's.
    def boxes():
        return [w for w in sway.windows(app.process.pid) if w["id"] != app.main["id"] and w.get("name") != "Openen"]
    box = wait_for("the message box", lambda: boxes(), seconds=10)[0]
    print(f"  scale {scale}: message box '{box.get('name')}' {box['window_rect']['width']} x "
          f"{box['window_rect']['height']}")
    sway.key("Return")
    wait_for("the message box to close", lambda: not boxes(), seconds=10)


def check_dialogs(sway, app, scale):
    """The settings dialog and the information window: each a window of
    its own at its designed size, closed by the compositor's close (sway
    offers no minimise to any window)."""
    app.click(SETTINGS_BUTTON)
    dialog = wait_for("the settings dialog", lambda: sway.window(app.process.pid, SETTINGS_TITLE), seconds=10)
    designed(scale, "settings dialog", dialog, SETTINGS_SIZE)
    sway.run("swaymsg", f"[con_id={dialog['id']}] kill")
    wait_for("the settings dialog to close", lambda: not sway.window(app.process.pid, SETTINGS_TITLE))

    def others():
        return [w for w in sway.windows(app.process.pid) if w.get("name") != TITLE]
    # The Help menu by the pointer, then its item by its access key.
    app.click(HELP_MENU)
    time.sleep(0.4)
    sway.key("i")
    info = wait_for("the information window", lambda: others(), seconds=10)[0]
    designed(scale, "information window", info, INFO_SIZE)
    # It has no close button of the window's own: its Sluiten button closes it.
    for key in ("Return", "space", "Escape"):
        if others():
            sway.key(key)
            time.sleep(0.5)
    wait_for("the information window to close", lambda: not others())


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    program = os.path.abspath(sys.argv[1])
    for tool in ("sway", "swaymsg", "wtype", "wl-paste", "Xwayland", "Xvfb", "setpriv"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed, so no Wayland session can be driven here")
    user = User()
    user.end_all()
    work = tempfile.mkdtemp(prefix="vantrix-wayland-")
    os.chmod(work, 0o755)
    picture = os.path.join(work, "picture.bmp")
    write_bmp(picture, *PICTURE_SIZE, lambda x, y: (x, y, MARK))
    os.chmod(picture, 0o644)
    plugin = any(os.path.exists(os.path.join(d, "libqwayland-generic.so"))
                 for d in ("/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms",))
    print(f"Qt's Wayland plugin is {'installed' if plugin else 'absent'}")
    try:
        for scale in SCALES:
            sway = Sway(user, work, scale)
            try:
                check_scale(sway, program, work, scale, picture)
            finally:
                sway.close()
    except (Failure, subprocess.SubprocessError) as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        user.end_all()
        shutil.rmtree(work, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
