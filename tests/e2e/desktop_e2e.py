"""End to end on a desktop as users have it: a real X server with the
openbox window manager, display scales from 1 to 2, real pointer and keys
(xdotool), the clipboard (xclip), window properties (xprop), screenshots,
another program's window to drag files from, and the accessibility bus.

usage: desktop_e2e.py PATH/TO/Vantrix PATH/TO/vantrix_dragsource
Environment: VANTRIX_E2E_CLICKS (clicks per scale and zoom state, 12),
VANTRIX_E2E_SCALES (comma-separated, "1,1.25,1.5,2"), VANTRIX_E2E_SHOTS (a
folder that keeps screenshots), VANTRIX_E2E_ONLY (comma-separated
prefixes of the checks to run). Exits 77 (skipped) when the X tools are
missing, 1 when any check fails."""

import contextlib
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check_coordinates  # noqa: E402
import vantrix_app as va  # noqa: E402
from xsession import Failure, XSession, end_process, wait_for, write_bmp  # noqa: E402

SKIPPED = 77
TOOLS = ("Xvfb", "openbox", "xdotool", "xclip", "xprop", "xwininfo", "import")
WEB_ADDRESS_LINK = (22 + 20 + 8, 2 + 135 + 6)  # inside the information window
INFO_TITLE_LABEL = (22 + 20 + 10, 2 + 60 + 15)
TOOL_BUTTON_NAMES = ("Figuur openen", "Vergroten", "Flitsen", "Instellingen", "LeesMij.txt", "Kopiëren")
LIST_NAMES = ("Ingangen", "Uitgangen", "Codelijst")


def script(path, body):
    with open(path, "w") as out:
        out.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)


def recorded(path):
    """The argument lists a recording script wrote, NUL-separated, one
    call per line."""
    if not os.path.exists(path):
        return []
    with open(path, "rb") as log:
        return [call.split(b"\0")[:-1] for call in log.read().split(b"\n") if call]


def recording_launcher(folder, status):
    """A desktop launcher of our own (xdg-open and gio) that records its
    arguments and ends with Status."""
    os.makedirs(folder, exist_ok=True)
    log = os.path.join(folder, "launcher.log")
    for name in ("xdg-open", "gio"):
        script(os.path.join(folder, name), f"printf '%s\\0' \"$@\" >> '{log}'; printf '\\n' >> '{log}'; exit {status}")
    return log


def last_line(app):
    lines = app.copy_output().splitlines()
    return lines[-1] if lines else ""


def picture_point(x, y):
    return (va.PICTURE[0] + x, va.PICTURE[1] + y)


class DragSource:
    """Another program's window that drags files, as a file manager does."""

    def __init__(self, session, program, items, folder):
        self.session = session
        self.log_path = os.path.join(folder, f"dragsource-{time.monotonic_ns()}.log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen([program, *items], env=dict(session.env, QT_LOGGING_RULES="qt.qpa.*=false"),
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.window = wait_for("the drag source's window",
                               lambda: (session.windows(pid=self.process.pid) or [None])[0], seconds=15)
        time.sleep(0.4)

    def centre(self):
        x, y, width, height = self.session.geometry(self.window)
        return x + width // 2, y + height // 2

    def drag_to(self, target):
        """Drags from the source to Target (root pixels); returns the source's
        verdict: "accepted" or "refused"."""
        start = self.centre()
        self.session.move(*start)
        time.sleep(0.2)
        self.session.x("xdotool", "mousedown", "1")
        time.sleep(0.3)
        steps = 12
        for step in range(1, steps + 1):
            self.session.move(start[0] + (target[0] - start[0]) * step // steps,
                              start[1] + (target[1] - start[1]) * step // steps)
            time.sleep(0.05)
        time.sleep(0.4)
        self.session.x("xdotool", "mouseup", "1")

        def verdict():
            with open(self.log_path, errors="replace") as log:
                text = log.read()
            return "accepted" if "drop accepted" in text else "refused" if "drop refused" in text else None

        return wait_for("the end of the drag", verdict, seconds=10)

    def close(self):
        end_process(self.process)
        self.log.close()


class Run:
    def __init__(self, program, dragsource, work, shots):
        self.program, self.dragsource, self.work, self.shots = program, dragsource, work, shots
        self.session = None
        self.passed, self.failed = 0, 0
        self.notes = []

    def check(self, name, scenario):
        only = os.environ.get("VANTRIX_E2E_ONLY")
        if only and not any(name.startswith(prefix) for prefix in only.split(",")):
            return
        started = time.monotonic()
        try:
            scenario()
        except Exception as error:  # a failing check is reported, the others still run
            self.failed += 1
            print(f"FAIL {name}: {error}")
            if not isinstance(error, Failure):
                traceback.print_exc()
        else:
            self.passed += 1
            print(f"PASS {name} ({time.monotonic() - started:.1f} s)")
        sys.stdout.flush()

    @contextlib.contextmanager
    def running(self, name, **options):
        """The program in a folder of its own; a failure keeps a screenshot
        and the program's output before the program is ended."""
        app = va.App(self.session, self.program, os.path.join(self.work, name), **options)
        try:
            yield app
        except Exception:
            if self.shots:
                self.session.save_screenshot(os.path.join(self.shots, f"failure-{os.path.basename(name)}.png"))
            output = app.output().strip()
            if output:
                print("  program output: " + output[-2000:])
            raise
        finally:
            app.close()

    # 1. The pixel under the pointer, at every display scale.
    def coordinates(self, scale, clicks):
        results = check_coordinates.check(self.session, self.program, self.work, scale, count=clicks,
                                          shots=self.shots)
        summary = ", ".join(f"{state} {right}/{total}" for state, (right, total, _) in results.items())
        print(f"  scale {scale}: {summary}")
        wrong = [(state, miss) for state, (_, _, misses) in results.items() for miss in misses]
        if wrong:
            raise Failure(f"wrong coordinates at scale {scale}: " +
                          "; ".join(f"{state} at {at}: screen {seen}, line {got}" for state, (at, seen, got) in wrong[:5]))

    # 1b. The first event after entering the picture, with the window where
    # it opens and at device positions of every remainder modulo the scale:
    # the pointer jumps onto the picture from each side and clicks at once.
    def entries(self, scale):
        period = {1.0: 1, 1.25: 5, 1.5: 3, 1.75: 7, 2.0: 2}[scale]
        with self.running(f"entries-{scale}", scale=scale) as app:
            coded = os.path.join(app.folder, "coded.bmp")
            check_coordinates.coded_picture(coded)
            app.click(va.FLASH_BUTTON)
            app.open_picture(coded)
            opened = self.session.geometry(app.window)[:2]
            base = (opened[0] - opened[0] % period + 2 * period, opened[1] - opened[1] % period + period)
            places = [opened] + [(base[0] + r, opened[1]) for r in range(period)] + \
                     [(opened[0], base[1] + r) for r in range(1, period)]
            wrong, total = [], 0
            for index, place in enumerate(places):
                if index:
                    self.move_window(app.window, place)
                got, clicks = self.clicks_entering(app, index)
                total += len(clicks)
                wrong += [(place, at, side, seen, line) for (at, side, seen), line in zip(clicks, got)
                          if line != seen]
            print(f"  scale {scale}: {total - len(wrong)}/{total} entering clicks right at {len(places)} window places")
            if wrong:
                raise Failure(f"at scale {scale}: " + "; ".join(
                    f"window at {place}, from the {side} to {at}: screen {seen}, line {line}"
                    for place, at, side, seen, line in wrong[:6]))

    def move_window(self, window, place):
        """Moves a window's own area (not its frame) to Place on the root."""
        wanted = place
        for _ in range(3):
            self.session.x("xdotool", "windowmove", str(window), str(wanted[0]), str(wanted[1]))
            time.sleep(0.4)
            now = self.session.geometry(window)[:2]
            if now == tuple(place):
                return
            wanted = (wanted[0] + place[0] - now[0], wanted[1] + place[1] - now[1])
        raise Failure(f"the window would not go to {place}")

    def clicks_entering(self, app, variant):
        """Clicks near each edge of the picture on screen, each time jumping
        there from outside that side; returns the lines and (point, side,
        pixel shown) of each click."""
        self.session.move(0, 0)
        time.sleep(0.3)
        shot = self.session.screenshot()
        left, top = app.at(va.PICTURE)
        marked = [(x, y) for y in range(top - 3, top + 3 * 180) for x in range(left - 3, left + 3 * 240, 3)
                  if shot.pixel(x, y)[2] == check_coordinates.MARK]
        xs, ys = [x for x, _ in marked], [y for _, y in marked]
        row, column = (min(ys) + max(ys)) // 2 + variant, (min(xs) + max(xs)) // 2 + variant
        first = min(x for x in range(min(xs) - 3, min(xs) + 3) if shot.pixel(x, row)[2] == check_coordinates.MARK)
        last = max(x for x in range(max(xs) - 3, max(xs) + 4) if shot.pixel(x, row)[2] == check_coordinates.MARK)
        high = min(y for y in range(min(ys) - 3, min(ys) + 3) if shot.pixel(column, y)[2] == check_coordinates.MARK)
        low = max(y for y in range(max(ys) - 3, max(ys) + 4) if shot.pixel(column, y)[2] == check_coordinates.MARK)
        clicks = []
        for depth in ((0, 1 + variant % 3) if variant == 0 else (variant % 3,)):
            clicks += [((first + depth, row), "left", (first - 25, row)),
                       ((column, high + depth), "top", (column, high - 25)),
                       ((last - depth, row + 7), "right", (last + 25, row + 7)),
                       ((column + 5, low - depth), "bottom", (column + 5, low + 25))]
        before = len(app.copy_output().splitlines())
        for at, _, outside in clicks:
            self.session.move(*outside)
            time.sleep(0.15)
            self.session.move(*at)
            self.session.x("xdotool", "click", "1")
            time.sleep(0.15)
        lines = app.copy_output().splitlines()[before:]
        got = [tuple(int(v) for v in m.groups()) if (m := check_coordinates.LINE.search(line)) else None
               for line in lines]
        if len(got) != len(clicks):
            raise Failure(f"{len(clicks)} clicks gave {len(got)} lines")
        return got, [(at, side, shot.pixel(*at)[:2]) for at, side, _ in clicks]

    # 1c. The view moves under a resting pointer (the zoom from the
    # keyboard, the wheel): the click names the pixel under the pointer then.
    def view_moves(self, scale):
        with self.running(f"view-moves-{scale}", scale=scale) as app:
            coded = os.path.join(app.folder, "coded.bmp")
            check_coordinates.coded_picture(coded)
            app.click(va.FLASH_BUTTON)
            app.open_picture(coded)
            rest = app.at(picture_point(150, 110))

            def zoom_by_keys():
                self.session.key("alt+b")
                time.sleep(0.4)
                self.session.key("Down", "Return")  # the second item: Vergroten

            def wheel():
                for _ in range(2):
                    self.session.x("xdotool", "click", "5")
                    time.sleep(0.1)

            for name, turn in (("zoom by keys", zoom_by_keys), ("wheel", wheel)):
                before = len(app.copy_output().splitlines())
                self.session.move(*rest)
                time.sleep(0.3)
                turn()
                time.sleep(0.6)
                seen = self.session.screenshot().pixel(*rest)
                self.session.x("xdotool", "click", "1")  # the pointer has not moved since it came to rest
                time.sleep(0.2)
                lines = app.copy_output().splitlines()[before:]
                match = check_coordinates.LINE.search(lines[-1]) if lines else None
                got = tuple(int(v) for v in match.groups()) if match else None
                if seen[2] != check_coordinates.MARK or got != seen[:2]:
                    raise Failure(f"after the {name} the click gave {got}, the screen shows {seen}")

    # 1d. Modal windows cannot be minimised away: the manager offers no
    # minimise, and one forced on them (xdotool) leaves the program usable.
    def modal_windows(self, wm):
        session = self.session
        self.session = XSession(wm=wm)
        try:
            with self.running(f"modal-{wm}") as app:
                broken = os.path.join(app.folder, "kapot.bmp")
                with open(broken, "wb") as out:
                    out.write(b"BM" + bytes(40))

                def settings():
                    app.click(va.SETTINGS_BUTTON)

                def info():
                    self.session.key("alt+h")
                    time.sleep(0.4)
                    self.session.key("i")

                def message_box():
                    app.choose_file(broken)

                for name, show, close_key, closes in (("settings dialog", settings, "Return", True),
                                                     ("information window", info, "Escape", False),
                                                     ("message box", message_box, "Return", True)):
                    show()
                    window = wait_for(f"the {name}", lambda: [w for w in app.visible_windows()
                                                               if w != app.window and
                                                               not self.session.windows(pid=app.process.pid,
                                                                                        name="^Openen$")],
                                      seconds=10)[0]
                    time.sleep(0.6)
                    actions = self.session.prop(window, "_NET_WM_ALLOWED_ACTIONS")
                    if "_NET_WM_ACTION_MINIMIZE" in actions or ("_NET_WM_ACTION_CLOSE" in actions) != closes:
                        raise Failure(f"the {name} under {wm} is offered {actions.split('=')[-1].strip()}")
                    self.session.x("xdotool", "windowminimize", str(window))
                    time.sleep(0.8)
                    if window not in app.visible_windows():
                        raise Failure(f"the {name} under {wm} stayed minimised")
                    self.session.key(close_key)
                    app.wait_alone()
                app.click(va.MEMO1)
                self.session.type("S9")
                self.session.key("alt+x", "alt+q", "alt+1")  # letters no menu takes type nothing
                app.click(picture_point(20, 10))
                if "X_is[S9]= 20;" not in last_line(app):
                    raise Failure(f"after the modal windows under {wm} the click gave {last_line(app)!r}")
        finally:
            self.session.close()
            self.session = session

    # 1e. The process ends as the main window goes, drawing or not.
    def ends_at_once(self, closes=20):
        heavy = os.path.join(os.environ.get("VANTRIX_CORPUS", os.path.join(
            os.path.dirname(__file__), "..", "..", "..", "shared", "corpus")), "metafiles", "lo_dbggfx0.wmf")
        slowest = []
        for index in range(closes):
            drawing = index % 2 == 1 and os.path.exists(heavy)
            with self.running(f"end-{index}", scale=2.0 if drawing else 1.0) as app:
                if drawing:
                    app.open_picture(heavy)
                    app.click(va.ZOOM_BUTTON, wait=0.02 + 0.1 * (index % 4))  # the tiles are being drawn anew
                started = time.monotonic()
                self.session.key("alt+F4")
                try:
                    app.process.wait(5)
                except subprocess.TimeoutExpired:
                    raise Failure(f"close {index} left the process running")
                slowest.append((time.monotonic() - started, drawing))
        worst = max(slowest)
        print(f"  {closes} closes: the process ended within {1000 * worst[0]:.0f} ms of the key at most")
        if worst[0] > 0.3:
            raise Failure(f"the process ended {1000 * worst[0]:.0f} ms after the close" +
                          (" while tiles were drawing" if worst[1] else ""))

    # 2. The chosen list stays chosen.
    def chosen_list(self):
        with self.running("chosen") as app:
            picture = os.path.join(app.folder, "coded.bmp")
            check_coordinates.coded_picture(picture)
            app.click(va.MEMO1)
            self.session.type("S1")
            app.click(va.MEMO2)
            self.session.type("Q4")
            app.open_picture(picture)

            def menu():
                app.click(app.menu_point(0))
                wait_for("the Bestand menu", lambda: len(app.visible_windows()) > 1, seconds=5)
                self.session.key("Escape")
                app.wait_alone()

            def settings():
                app.click(va.SETTINGS_BUTTON)
                wait_for("the settings dialog", lambda: self.session.windows(pid=app.process.pid, name="^Instellingen$"))
                time.sleep(0.3)
                self.session.key("Return")  # Escape does nothing there: it has nothing to cancel
                app.wait_alone()

            def message_box():
                broken = os.path.join(app.folder, "kapot.bmp")
                with open(broken, "wb") as out:
                    out.write(b"BM" + bytes(40))
                app.choose_file(broken)
                wait_for("the message box", lambda: not self.session.windows(pid=app.process.pid, name="^Openen$")
                         and len(app.visible_windows()) > 1, seconds=10)
                time.sleep(0.4)
                self.session.key("Return")
                app.wait_alone()
                # The broken file leaves no picture: the good one again, its
                # dialog another modal round trip.
                app.open_picture(picture)

            def other_window():
                source = DragSource(self.session, self.dragsource, [picture], self.work)
                try:
                    # A right click on the other program's window activates it.
                    self.session.click(*source.centre(), button=3)
                    time.sleep(0.5)
                    x, y, width, _ = self.session.geometry(app.window)
                    self.session.click(x + width // 2, y - 8)  # the title bar brings ours back
                    time.sleep(0.5)
                finally:
                    source.close()

            for trip_name, trip in (("menu", menu), ("settings dialog", settings), ("message box", message_box),
                                    ("another window", other_window)):
                app.click(va.MEMO1)
                app.click(va.RADIO2)
                try:
                    trip()
                except Failure as error:
                    raise Failure(f"{trip_name}: {error}") from error
                app.click(picture_point(5, 6))
                line = last_line(app)
                if not line.startswith("   X_us[Q4]= 5;"):
                    raise Failure(f"after the {trip_name} the line is [{line}], not one of Uitgangen")

            # A click into the list whose name the radio button took away.
            app.click(va.RADIO2)
            app.click(va.MEMO1)
            app.click(picture_point(7, 8))
            line = last_line(app)
            if not line.startswith("   X_is[S1]= 7;"):
                raise Failure(f"a click into Ingangen after Uitgangen gave [{line}]")

    # 3 and 4. The information window and the desktop's launcher.
    def info_window(self):
        launcher_log = recording_launcher(os.path.join(self.work, "launcher-ok"), 0)
        path = f"{os.path.dirname(launcher_log)}:{os.environ.get('PATH', '/usr/bin:/bin')}"
        with self.running("info", extra_env={"PATH": path}) as app:
            self.session.key("alt+h")
            time.sleep(0.4)
            self.session.key("i")
            info = wait_for("the information window",
                            lambda: [w for w in app.visible_windows() if w != app.window], seconds=10)[0]
            time.sleep(0.5)
            for name in ("_NET_WM_NAME", "WM_NAME"):
                value = self.session.prop(info, name)
                if not (value.endswith("=") or value.endswith('= ""')):  # xprop shows an empty text either way
                    raise Failure(f"the information window's title is {value}")
            self.session.key("alt+F4")
            time.sleep(0.8)
            if info not in app.visible_windows():
                raise Failure("the window manager's close closed the information window")

            left, top, _, _ = self.session.geometry(info)
            at = (left + round(WEB_ADDRESS_LINK[0] * app.scale), top + round(WEB_ADDRESS_LINK[1] * app.scale))
            self.session.move(*at)
            time.sleep(0.2)
            self.session.x("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
            wait_for("the launcher", lambda: recorded(launcher_log), seconds=5)
            time.sleep(1.5)
            calls = recorded(launcher_log)
            if len(calls) != 1 or not calls[0][-1].startswith(b"http"):
                raise Failure(f"a double-click on the web address gave the launcher {calls}")

            self.session.key("Escape")
            app.wait_alone()

    def readme_fallback(self):
        tools = os.path.join(self.work, "launcher-fails")
        launcher_log = recording_launcher(tools, 4)
        editor_log = os.path.join(tools, "editor.log")
        script(os.path.join(tools, "editor"), f"printf '%s\\0' \"$@\" >> '{editor_log}'; printf '\\n' >> '{editor_log}'")
        path = f"{tools}:{os.environ.get('PATH', '/usr/bin:/bin')}"
        # A folder whose name a shell would take apart.
        with self.running("read me's $HOME; *", extra_env={"PATH": path, "VISUAL": os.path.join(tools, "editor")}) as app:
            readme = os.path.join(app.folder, "LeesMij.txt").encode()
            app.click(va.README_BUTTON)
            calls = wait_for("the editor", lambda: recorded(editor_log), seconds=10)
            if calls != [[readme]]:
                raise Failure(f"the editor was given {calls}, not [{readme}]")
            if not recorded(launcher_log):
                raise Failure("the launcher was not tried first")
            # A launcher that succeeds leaves the editor alone.
            recording_launcher(tools, 0)
            app.click(va.README_BUTTON)
            wait_for("the launcher", lambda: len(recorded(launcher_log)) == 2, seconds=5)
            time.sleep(1.0)
            if len(recorded(editor_log)) != 1:
                raise Failure("the editor started although the launcher succeeded")

    # 6. Files dropped from another program.
    def drop(self):
        with self.running("drop") as app:
            coded = os.path.join(app.folder, "coded.bmp")
            check_coordinates.coded_picture(coded)
            red = os.path.join(app.folder, "rood.bmp")
            write_bmp(red, 50, 50, lambda x, y: (255, 0, 0))
            broken = os.path.join(app.folder, "kapot.bmp")
            with open(broken, "wb") as out:
                out.write(b"BM" + bytes(40))
            app.click(va.FLASH_BUTTON)
            app.click(va.ZOOM_BUTTON)  # a drop turns the zoom off
            before = len(app.copy_output().splitlines())

            with contextlib.ExitStack() as sources:

                def drag(items, point):
                    # The target fetches the data after the drag has ended, so
                    # each source keeps running, as a file manager does.
                    source = DragSource(self.session, self.dragsource, items, self.work)
                    sources.callback(source.close)
                    return source.drag_to(app.at(point))

                verdict = drag([coded, red], picture_point(150, 100))
                if verdict != "accepted":
                    raise Failure(f"the drop of two pictures was {verdict}")
                self.session.x("xdotool", "windowactivate", "--sync", str(app.window), check=False)
                app.click(picture_point(9, 4))  # within the second after opening: ignored
                time.sleep(1.2)
                app.click(picture_point(9, 4))
                lines = app.copy_output().splitlines()[before:]
                if lines != ["   X_is[]= 9;".ljust(len("   X_is[@@1]= @@2;") + 16) + "Y_is[]= 4;"]:
                    raise Failure(f"after the drop the clicks gave {lines}")
                seen = self.session.screenshot().pixel(*app.at(picture_point(9, 4)))
                if seen != (9, 4, check_coordinates.MARK):
                    raise Failure(f"the screen shows {seen} where the first dropped picture has (9, 4)")

                # Dropped on a list, a picture opens and the list keeps its text.
                app.click(va.MEMO1)
                self.session.type("S3")
                if drag([red], va.MEMO1) != "accepted":
                    raise Failure("the drop of a picture on the Ingangen list was refused")
                self.session.x("xdotool", "windowactivate", "--sync", str(app.window), check=False)
                time.sleep(1.4)
                app.click(picture_point(20, 20))
                if "X_is[S3]= 20;" not in last_line(app):
                    raise Failure(f"after a drop on the list the click gave {last_line(app)!r}")
                if self.session.screenshot().pixel(*app.at(picture_point(20, 20))) != (255, 0, 0):
                    raise Failure("the picture dropped on the list did not open")

                if drag(["text:geen bestand"], picture_point(100, 100)) != "refused":
                    raise Failure("a drop of text was taken")

                if drag([broken], (300, 15)) != "accepted":  # onto the window, beside the tool buttons
                    raise Failure("the drop of a broken picture onto the window was refused")
                wait_for("the message about the broken picture", lambda: len(app.visible_windows()) > 1, seconds=10)
                time.sleep(0.4)
                self.session.key("Return")
                app.wait_alone()

    # 6. What a screen reader hears.
    def accessibility(self, reader):
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.session.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            address = bus.stdout.readline().decode().strip()
            if not address:
                raise Failure("no session bus")
            bus_env = {"DBUS_SESSION_BUS_ADDRESS": address, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                       "QT_ACCESSIBILITY": "1", "NO_AT_BRIDGE": "0"}
            with self.running("accessibility", extra_env=bus_env) as app:
                picture = os.path.join(app.folder, "coded.bmp")
                check_coordinates.coded_picture(picture)
                app.open_picture(picture)
                self.session.move(*app.at(picture_point(12, 34)))
                time.sleep(0.5)

                def heard():
                    result = subprocess.run([reader, os.path.join(os.path.dirname(__file__), "read_accessibility.py"),
                                             "Vantrix"], env=dict(self.session.env, **bus_env), capture_output=True,
                                            timeout=60)
                    try:
                        nodes = json.loads(result.stdout.decode() or "[]")
                    except json.JSONDecodeError:
                        nodes = []
                    if not nodes:
                        raise Failure("the program is not on the accessibility bus: "
                                      + result.stderr.decode(errors="replace")[-400:])
                    return nodes

                def read_out(nodes):
                    return [node["description"] or node["text"] for node in nodes if node["name"] == "Positie"]

                nodes = heard()
                names = {node["name"] for node in nodes}
                missing = [name for name in TOOL_BUTTON_NAMES + LIST_NAMES + ("Figuurvlak", "Figuur", "Positie")
                           if name not in names]
                if missing:
                    raise Failure(f"a screen reader hears no {missing}")
                if not any(text and "X=12" in text and "Y=34" in text for text in read_out(nodes)):
                    raise Failure(f"the position read-out reads {read_out(nodes)}")
                # The zoom turned on from the keyboard under the resting
                # pointer: the read-out names the pixel now under it.
                self.session.key("alt+b")
                time.sleep(0.4)
                self.session.key("Down", "Return")
                time.sleep(0.6)
                if not any(text and "X=6 " in text and "Y=17" in text for text in read_out(heard())):
                    raise Failure(f"after the zoom the position read-out reads {read_out(heard())}")
        finally:
            bus.terminate()
            bus.wait(5)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    program, dragsource = (os.path.abspath(path) for path in sys.argv[1:])
    missing = [tool for tool in TOOLS if not shutil.which(tool)]
    if missing:
        print(f"SKIP: {', '.join(missing)} not installed, so no desktop can be driven here")
        return SKIPPED
    scales = [float(s) for s in os.environ.get("VANTRIX_E2E_SCALES", "1,1.25,1.5,2").split(",")]
    clicks = int(os.environ.get("VANTRIX_E2E_CLICKS", "12"))
    shots = os.environ.get("VANTRIX_E2E_SHOTS")
    if shots:
        os.makedirs(shots, exist_ok=True)

    with tempfile.TemporaryDirectory(prefix="vantrix-e2e-") as work:
        run = Run(program, dragsource, work, shots)
        try:
            run.session = XSession()
        except Failure as error:
            print(f"SKIP: {error}")
            return SKIPPED
        try:
            for scale in scales:
                run.check(f"coordinates-at-scale-{scale}", lambda: run.coordinates(scale, clicks))
            for scale in scales:
                run.check(f"entering-at-scale-{scale}", lambda: run.entries(scale))
            for scale in (1.0, 1.5):
                run.check(f"view-moves-under-pointer-at-scale-{scale}", lambda: run.view_moves(scale))
            for wm in ("openbox", "metacity"):
                if not shutil.which(wm):
                    print(f"SKIP modal-windows-stay-up-under-{wm}: {wm} is not installed")
                    continue
                run.check(f"modal-windows-stay-up-under-{wm}", lambda: run.modal_windows(wm))
            run.check("ends-at-once", run.ends_at_once)
            run.check("chosen-list-stays-chosen", run.chosen_list)
            run.check("information-window", run.info_window)
            run.check("read-me-fallback", run.readme_fallback)
            run.check("drop", run.drop)
            reader = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
            if subprocess.run([reader, "-c", "import pyatspi"], capture_output=True).returncode == 0 \
                    and shutil.which("dbus-daemon"):
                run.check("accessibility", lambda: run.accessibility(reader))
            else:
                print("SKIP accessibility: python3-pyatspi or dbus-daemon is missing")
        finally:
            run.session.close()
        print(f"{run.passed} passed, {run.failed} failed")
        return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())
