"""The real program in a folder of its own, driven on an X session."""

import os
import shutil
import subprocess
import time

from xsession import Failure, end_process, wait_for

TITLE = "Vantrix 1.3.0"
CLIENT_HEIGHT = 404

# Places in the main window's client area, in logical pixels.
FLASH_BUTTON = (55 + 12, 3 + 12)
ZOOM_BUTTON = (30 + 12, 3 + 12)
SETTINGS_BUTTON = (80 + 12, 3 + 12)
README_BUTTON = (105 + 12, 3 + 12)
COPY_BUTTON = (592 + 10, 269 + 10)
MEMO1 = (60, 100)
MEMO2 = (60, 300)
RADIO1 = (5 + 30, 32 + 7 + 8)
RADIO2 = (5 + 30, 32 + 177 + 7 + 8)
PICTURE = (207, 33)  # top left of the picture, inside the picture area's border


class App:
    """The program copied into Folder with its read-me and started there;
    with in_place, started where it is (Folder then only keeps its output),
    through Launcher (for example a command that changes the user)."""

    def __init__(self, session, program, folder, scale=1.0, extra_env=None, in_place=False, launcher=()):
        self.session = session
        self.scale = scale
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.program = program if in_place else os.path.join(folder, "Vantrix")
        if not in_place:
            shutil.copy(program, self.program)
            readme = os.path.join(os.path.dirname(program), "LeesMij.txt")
            if os.path.exists(readme):
                shutil.copy(readme, os.path.join(folder, "LeesMij.txt"))
        env = dict(session.env, QT_LOGGING_RULES="qt.qpa.*=false", QT_SCALE_FACTOR=str(scale))
        env.update(extra_env or {})
        self.log = open(os.path.join(folder, "out.log"), "wb")
        self.process = subprocess.Popen([*launcher, self.program], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        self.window = wait_for("the main window", lambda: self.main_window(), seconds=20)
        time.sleep(0.5)
        session.x("xdotool", "windowactivate", "--sync", str(self.window), check=False)
        time.sleep(0.3)

    def main_window(self):
        for window in self.session.windows(pid=self.process.pid):
            if self.session.x("xdotool", "getwindowname", str(window), check=False).strip() == TITLE:
                return window
        return None

    def output(self):
        self.log.flush()
        with open(os.path.join(self.folder, "out.log"), errors="replace") as log:
            return log.read()

    def close(self):
        end_process(self.process)
        self.log.close()

    # Where things are on the screen, in device pixels of the root window.
    def menu_height(self):
        """The menu bar's height in logical pixels."""
        return round(self.session.geometry(self.window)[3] / self.scale) - CLIENT_HEIGHT

    def client_origin(self):
        x, y, _, _ = self.session.geometry(self.window)
        return x, y + round(self.menu_height() * self.scale)

    def menu_point(self, index):
        """A point on the title of the menu bar's Index-th menu (0, 1)."""
        return (20 + 50 * index, -self.menu_height() / 2)

    def at(self, point):
        left, top = self.client_origin()
        return left + round(point[0] * self.scale), top + round(point[1] * self.scale)

    def click(self, point, button=1, wait=0.25):
        x, y = self.at(point)
        self.session.click(x, y, button)
        time.sleep(wait)

    def visible_windows(self):
        return self.session.windows(pid=self.process.pid)

    def wait_alone(self):
        wait_for("the main window alone", lambda: len(self.visible_windows()) <= 1, seconds=10)
        time.sleep(0.3)

    def choose_file(self, path):
        """Opens the picture dialog, types Path and presses Return once."""
        self.session.key("ctrl+o")
        wait_for("the file dialog", lambda: self.session.windows(pid=self.process.pid, name="^Openen$"))
        time.sleep(0.8)
        self.session.key("ctrl+a")
        self.session.type(path, delay=8)
        time.sleep(0.3)
        self.session.key("Return")

    def open_picture(self, path):
        self.session.key("ctrl+o")
        time.sleep(1.0)
        self.session.key("ctrl+a")
        self.session.type(path, delay=8)
        # The file name completer may take the first Return; the dialog the next.
        for _ in range(3):
            time.sleep(0.4)
            self.session.key("Return")
            time.sleep(0.4)
            if len(self.visible_windows()) <= 1:
                break
        self.wait_alone()
        time.sleep(1.2)  # past the second in which clicks are ignored

    def copy_output(self):
        self.click(COPY_BUTTON)
        time.sleep(0.3)
        return self.session.clipboard()
