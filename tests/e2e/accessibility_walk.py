#!/usr/bin/python3
"""Walks the program's main window over AT-SPI, then the prompt (Save to File),
the e-mail dialog (e-Mail) and its address book (To:), opened by their buttons'
actions. One line per object shown: WINDOW<TAB>ROLE<TAB>NAME<TAB>DESCRIPTION."""
import sys
import time

import pyatspi


def wait_for(find, what):
    for _ in range(200):
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit("not found: " + what)


def window(title):
    apps = [app for app in pyatspi.Registry.getDesktop(0) if app is not None and app.name == "QORIX-Capture"]
    for child in (child for app in apps for child in app):
        if child is not None and child.name == title and child.getState().contains(pyatspi.STATE_SHOWING):
            return child
    return None


def descendants(accessible):
    for child in accessible:
        if child is not None:
            yield child
            yield from descendants(child)


def walk(title):
    top = wait_for(lambda: window(title), title)
    time.sleep(0.3)  # until all its controls are there
    for accessible in [top] + [a for a in descendants(top) if a.getState().contains(pyatspi.STATE_SHOWING)]:
        print("\t".join([title, accessible.getRoleName(), accessible.name, accessible.description]))
    return top


def press(top, name):
    button = next(a for a in descendants(top) if a.getRoleName() == "push button" and a.name == name)
    button.queryAction().doAction(0)


main = walk("QORIX Screen capture to bitmap")
press(main, "Save to File")
press(walk("QORIX Capture - Prompt to Save"), "Cancel")
press(main, "e-Mail")
email = walk("e-Mail Screen Capture")
press(email, "To:")
press(walk("Address Book"), "Cancel")
press(email, "Cancel")
