#!/usr/bin/python3
"""What a screen reader finds in the program's windows, over AT-SPI.

Walks the main window, then opens the prompt (Save to File), the e-mail
dialog (e-Mail) and its address book (To:) through their buttons' actions,
and walks each. Prints one line per accessible object:
WINDOW<TAB>ROLE<TAB>NAME<TAB>DESCRIPTION
"""
import sys
import time

import pyatspi


def wait_for(find, what, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit("not found: " + what)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "QORIX-Capture":
            return app
    return None


def window(title):
    app = application()
    for child in app or []:
        if child is not None and child.name == title and child.getState().contains(pyatspi.STATE_SHOWING):
            return child
    return None


def descendants(accessible):
    for child in accessible:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def walk(title):
    top = wait_for(lambda: window(title), title)
    # The window's own controls, once they are all there.
    time.sleep(0.3)
    print("\t".join([title, top.getRoleName(), top.name, top.description]))
    for accessible in descendants(top):
        if accessible.getState().contains(pyatspi.STATE_SHOWING):
            print("\t".join([title, accessible.getRoleName(), accessible.name, accessible.description]))
    sys.stdout.flush()
    return top


def press(top, role, name):
    for accessible in descendants(top):
        if accessible.getRoleName() == role and accessible.name == name:
            action = accessible.queryAction()
            for i in range(action.nActions):
                if action.getName(i).lower() in ("press", "click"):
                    action.doAction(i)
                    return
    sys.exit("no %s %s to press" % (role, name))


def main():
    wait_for(application, "the program")
    main_window = walk("QORIX Screen capture to bitmap")
    press(main_window, "push button", "Save to File")
    prompt = walk("QORIX Capture - Prompt to Save")
    press(prompt, "push button", "Cancel")
    press(main_window, "push button", "e-Mail")
    email = walk("e-Mail Screen Capture")
    press(email, "push button", "To:")
    book = walk("Address Book")
    press(book, "push button", "Cancel")
    press(email, "push button", "Cancel")


main()
