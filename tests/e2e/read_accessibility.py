"""Prints, as JSON, what a screen reader hears of one running application:
every object's role, name, description and text, read through the accessibility bus.

usage: read_accessibility.py APPLICATION-NAME
Runs with the session bus of the application in DBUS_SESSION_BUS_ADDRESS."""

import json
import sys
import time

import pyatspi


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, text.characterCount)


def walk(node, depth=0, limit=40):
    if node is None or depth > limit:
        return []
    entry = {"role": node.getRoleName(), "name": node.name or "", "description": node.description or "",
             "text": text_of(node)}
    found = [entry]
    for index in range(node.childCount):
        found += walk(node.getChildAtIndex(index), depth + 1, limit)
    return found


def main():
    wanted = sys.argv[1]
    deadline = time.monotonic() + 15
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            application = desktop.getChildAtIndex(index)
            if application is not None and application.name == wanted:
                print(json.dumps(walk(application)))
                return 0
        if time.monotonic() > deadline:
            print(json.dumps([]))
            return 1
        time.sleep(0.3)


if __name__ == "__main__":
    sys.exit(main())
