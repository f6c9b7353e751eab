#!/usr/bin/python3
"""Reads the program's window through the accessibility bus, as a screen reader does, over and over
for the given seconds, and prints the longest time one whole reading took while the window's
status line showed a search. Usage: atspi-probe.py SECONDS"""
import sys
import time

import pyatspi


def find_program():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name and "KVZ" in app.name.upper():
            return app
    return None


def status_texts(node, depth=0):
    """The labels' texts, the status line among them, read node by node: one call each."""
    texts = []
    if node is None or depth > 6:
        return texts
    if node.getRole() == pyatspi.ROLE_LABEL:
        texts.append(node.name.strip())
    for i in range(node.childCount):
        texts += status_texts(node.getChildAtIndex(i), depth + 1)
    return texts


def main():
    deadline = time.monotonic() + float(sys.argv[1])
    longest, readings = 0.0, 0
    while time.monotonic() < deadline:
        start = time.monotonic()
        app = find_program()
        texts = status_texts(app) if app is not None else []
        took = time.monotonic() - start
        if any(t.startswith("Подключение") for t in texts):
            longest, readings = max(longest, took), readings + 1
        time.sleep(0.02)
    print("readings during the search: %d; the longest took %d ms" % (readings, longest * 1000))


main()
