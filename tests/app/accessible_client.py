#!/usr/bin/python3
"""What a screen reader finds of the running program over the AT-SPI bus.

  accessible_client.py tree        every node of the main window, one a line
  accessible_client.py controller  the controller number's nodes, then the
                                   events that pressing its upper arrow
                                   raises, then its nodes again
  accessible_client.py settings    opens the settings dialog from the menu
                                   and prints its nodes

A node's line: its depth in spaces, then role|name|value|description, the
value "-" where the node has none. Exits 1 with a reason when the program
cannot be found or does not answer in time.
"""
import sys
import time

import pyatspi
from gi.repository import GLib

APPLICATION = "Faderwell Standard"
DEADLINE_S = 30  # room for a machine busy with builds
PRESS_TIMEOUT_MS = 500
SETTINGS_COMMAND = "設定(O)"
CONTROLLER = "Controller number"
CONTROLLER_UP = "Next controller number"
CONTROLLER_TEXT = "The controller number every channel fader sends"


def fail(reason):
    print("error: " + reason, flush=True)
    sys.exit(1)


def wait_for(find, what):
    deadline = time.monotonic() + DEADLINE_S
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    fail(what + " did not show within %d s" % DEADLINE_S)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == APPLICATION:
            return app
    return None


def value(node):
    try:
        return "%g" % node.queryValue().currentValue
    except NotImplementedError:
        return "-"


def line(node):
    return "|".join([node.getRoleName(), node.name, value(node), node.description])


def nodes(node, depth=0):
    yield depth, node
    for child in node:
        if child is not None:
            yield from nodes(child, depth + 1)


def find(root, matches):
    return next((node for _, node in nodes(root) if matches(node)), None)


def print_tree(root):
    for depth, node in nodes(root):
        print(" " * depth + line(node), flush=True)


def controller_nodes(app):
    return [node for _, node in nodes(app)
            if node.name == CONTROLLER or node.description == CONTROLLER_TEXT]


def press_controller(app):
    for node in controller_nodes(app):
        print("before " + line(node), flush=True)
    up = find(app, lambda node: node.name == CONTROLLER_UP)
    heard = {}

    def on_event(event):
        kind = event.type.split(":")[-1]  # accessible-value or accessible-name
        if event.source.name == CONTROLLER or event.source.description == CONTROLLER_TEXT:
            heard[kind] = True
            print("event %s %s" % (kind, line(event.source)), flush=True)
        if len(heard) == 2:
            pyatspi.Registry.stop()

    def give_up():
        pyatspi.Registry.stop()
        return False

    def press():
        up.queryAction().doAction(0)
        return False

    pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-value",
                                           "object:property-change:accessible-name")
    GLib.timeout_add(100, press)
    GLib.timeout_add_seconds(DEADLINE_S, give_up)
    pyatspi.Registry.start()
    if len(heard) != 2:
        fail("heard only %s" % sorted(heard))
    for node in controller_nodes(app):
        print("after " + line(node), flush=True)


def open_settings(app):
    command = find(app, lambda node: node.name == SETTINGS_COMMAND)
    # The dialog's nested loop holds the answer to the press until it closes,
    # so the press is not waited for; the calls after it are, generously.
    pyatspi.setTimeout(PRESS_TIMEOUT_MS, 0)
    try:
        command.queryAction().doAction(0)
    except GLib.Error:
        pass
    pyatspi.setTimeout(DEADLINE_S * 1000, 0)
    dialog = wait_for(lambda: next((w for w in app if w is not None and w.name == "設定"), None),
                      "the settings dialog")
    print_tree(dialog)


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "tree"
    app = wait_for(application, "the program")
    wait_for(lambda: find(app, lambda node: node.name == CONTROLLER), "the main window")
    if mode == "tree":
        print_tree(app)
    elif mode == "controller":
        press_controller(app)
    elif mode == "settings":
        open_settings(app)
    else:
        fail("unknown mode " + mode)


if __name__ == "__main__":
    main()
