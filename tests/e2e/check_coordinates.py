"""Clicks at device pixels across picture pixel boundaries and compares the
appended line with the colour the screen shows under the pointer."""

import random
import re
import time

import vantrix_app as va
from xsession import Failure, write_bmp

PICTURE_SIZE = (240, 180)
MARK = 0x80  # the blue channel of every picture pixel
LINE = re.compile(r"X_is\[\]= (-?\d+);\s+Y_is\[\]= (-?\d+);")


def coded_picture(path):
    """Each pixel carries its own coordinates: red x, green y."""
    write_bmp(path, *PICTURE_SIZE, lambda x, y: (x, y, MARK))


def pick_points(shot, bounds, count, rng):
    """Device pixels of the picture on screen, most of them on either side
    of a boundary between two picture pixels."""
    left, top, right, bottom = bounds
    inside, edges = [], []
    for y in range(top + 1, bottom):
        for x in range(left + 1, right):
            here = shot.pixel(x, y)
            if here[2] != MARK:
                continue
            inside.append((x, y))
            if shot.pixel(x - 1, y)[:2] != here[:2] or shot.pixel(x, y - 1)[:2] != here[:2]:
                edges.append((x, y))
                edges.append((x - 1, y) if shot.pixel(x - 1, y)[2] == MARK else (x, y))
    if not inside:
        raise Failure("the picture is not on the screen")
    picks = rng.sample(edges, min(len(edges), count * 2 // 3))
    picks += rng.sample(inside, count - len(picks))
    return picks


def measure(session, app, zoom, count, seed):
    """Clicks Count device pixels and returns (right, total, mismatches)."""
    rng = random.Random(seed)
    app.session.move(0, 0)
    time.sleep(0.3)
    shot = session.screenshot()
    left, top = app.at(va.PICTURE)
    right, bottom = app.at((va.PICTURE[0] + 400, va.PICTURE[1] + 225))
    points = pick_points(shot, (left - 2, top - 2, right, bottom), count, rng)
    before = app.copy_output().count("\n")
    for x, y in points:
        # A hand on a mouse passes the pixels before the one it stops on:
        # a few on the picture itself, so the pointer enters the control
        # before it reaches the pixel clicked.
        before_x, before_y = (x - 3, y - 2) if shot.pixel(x - 3, y - 2)[2] == MARK else (x + 3, y + 2)
        session.move(before_x, before_y)
        session.click(x, y, pause=0.05)
        time.sleep(0.12)  # no double-click: each release is a click of its own anyway
    lines = app.copy_output().splitlines()[before:]
    if len(lines) != len(points):
        raise Failure(f"{len(points)} clicks gave {len(lines)} lines")
    wrong = []
    for (x, y), line in zip(points, lines):
        match = LINE.search(line)
        seen = shot.pixel(x, y)[:2]
        got = (int(match.group(1)), int(match.group(2))) if match else None
        if got != seen:
            wrong.append(((x, y), seen, got))
    return len(points) - len(wrong), len(points), wrong


def check(session, program, folder, scale, count=24, seed=1, shots=None):
    """Right/total per zoom state at one display scale."""
    app = va.App(session, program, f"{folder}/scale-{scale}", scale=scale)
    try:
        picture = f"{app.folder}/coded.bmp"
        coded_picture(picture)
        app.click(va.FLASH_BUTTON)  # no flash: the screen stays as shot
        app.open_picture(picture)
        results = {}
        for zoom in (False, True):
            if zoom:
                app.click(va.ZOOM_BUTTON)
                time.sleep(0.4)
            state = "zoomed" if zoom else "natural"
            results[state] = measure(session, app, zoom, count, seed)
            if shots:
                session.save_screenshot(f"{shots}/scale-{scale}-{state}.png")
        return results
    finally:
        app.close()
