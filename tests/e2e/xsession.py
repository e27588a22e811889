"""A real X session for end-to-end runs: Xvfb, the openbox window manager,
and the tools a user's hands and eyes stand in for (xdotool, xclip, xprop,
screenshots through ImageMagick's import)."""

import os
import random
import re
import shutil
import struct
import subprocess
import tempfile
import time


class Failure(Exception):
    pass


def run(*args, env=None, check=True, timeout=30, input_bytes=None):
    result = subprocess.run(list(args), env=env, capture_output=True, timeout=timeout, input=input_bytes)
    if check and result.returncode != 0:
        raise Failure(f"{args[0]} failed ({result.returncode}): {result.stderr.decode(errors='replace').strip()}")
    return result.stdout.decode(errors="replace")


def wait_for(what, condition, seconds=10.0, step=0.05):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(step)


def end_process(process):
    """Ends a process we started: politely first, then for sure."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)


# How each window manager the checks use is started.
WINDOW_MANAGERS = {"openbox": ["openbox", "--sm-disable"], "metacity": ["metacity"]}


class XSession:
    """Xvfb on a free display with a window manager (openbox unless told)
    managing its windows."""

    def __init__(self, width=1920, height=1200, wm="openbox"):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
             "-screen", "0", f"{width}x{height}x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.display = f":{number}"
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.wm = subprocess.Popen(WINDOW_MANAGERS[wm], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the window manager",
                 lambda: "window id" in self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False))

    def close(self):
        for process in (self.wm, self.server):
            end_process(process)

    def x(self, *args, check=True, timeout=30, input_bytes=None):
        return run(*args, env=self.env, check=check, timeout=timeout, input_bytes=input_bytes)

    # Hands.
    def move(self, x, y):
        self.x("xdotool", "mousemove", str(int(x)), str(int(y)))

    def click(self, x, y, button=1, pause=0.08):
        self.move(x, y)
        time.sleep(pause)
        self.x("xdotool", "click", str(button))

    def key(self, *keys):
        self.x("xdotool", "key", "--clearmodifiers", *keys)

    def type(self, text, delay=20):
        self.x("xdotool", "type", "--delay", str(delay), text)

    # Eyes.
    def screenshot(self):
        return Screenshot(self.x_bytes("import", "-window", "root", "-depth", "8", "ppm:-"))

    def save_screenshot(self, path):
        self.x("import", "-window", "root", path)

    def x_bytes(self, *args):
        return subprocess.run(list(args), env=self.env, capture_output=True, check=True, timeout=30).stdout

    def clipboard(self):
        return self.x("xclip", "-o", "-selection", "clipboard", check=False)

    def windows(self, pid=None, name=None):
        args = ["xdotool", "search", "--onlyvisible"]
        if pid is not None:
            args += ["--pid", str(pid)]
        if name is not None:
            args += ["--name", name]
        if pid is not None and name is not None:
            args.insert(2, "--all")
        return [int(w) for w in self.x(*args, check=False).split()]

    def geometry(self, window):
        """Left, top (on the root window), width and height of a window's
        own area, without the window manager's frame."""
        info = self.x("xwininfo", "-id", str(window))
        value = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"))

    def prop(self, window, name):
        return self.x("xprop", "-id", str(window), name, check=False).strip()


class Screenshot:
    def __init__(self, ppm):
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
        if not match:
            raise Failure("screenshot is not a PPM image")
        self.width, self.height = int(match.group(1)), int(match.group(2))
        self.pixels = ppm[match.end():]

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.pixels[at:at + 3])


def write_bmp(path, width, height, colour):
    """A 24-bit bitmap; colour(x, y) gives each pixel's (r, g, b)."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = colour(x, y)
            row += bytes((b, g, r))
        rows += row + bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + rows)
