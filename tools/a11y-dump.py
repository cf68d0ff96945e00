#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Prints what a screen reader finds in a running Quarrin or Vistrel window, top to bottom.

Reads the AT-SPI tree of the application through pyatspi (python3-pyatspi): every node that
says something (a name or a description) is listed with its role, its states worth hearing
(selected, focused, disabled) and its frame in window pixels. With --press NAME the first node
of that name that offers an action (a button, a tab) is pressed through AT-SPI's action
interface before the dump. --json prints the whole tree as JSON for tests.

    tools/a11y-dump.py [--app quarrin] [--pid PID] [--wait SECONDS] [--press NAME] [--json] [--paths]

Needs the accessibility bus: a desktop session has one; elsewhere start a session bus and
/usr/libexec/at-spi-bus-launcher --launch-immediately in it first.
"""

import argparse
import json
import sys
import time

try:
    import pyatspi
except ImportError:
    sys.exit("a11y-dump: python3-pyatspi is not installed (scripts/setup installs it)")


def find_application(name, pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is None:
            continue
        try:
            if pid is not None and app.get_process_id() == pid:
                return app
            if pid is None and name and app.name and app.name.lower() == name.lower():
                return app
        except Exception:  # an application that went away while we asked
            continue
    return None


def states_of(node):
    states = node.getState()
    words = []
    if states.contains(pyatspi.STATE_SELECTED):
        words.append("selected")
    if states.contains(pyatspi.STATE_FOCUSED):
        words.append("focused")
    # GTK 4 says "sensitive" and "visible" of what is enabled and shown.
    if not states.contains(pyatspi.STATE_SENSITIVE):
        words.append("disabled")
    if not states.contains(pyatspi.STATE_VISIBLE):
        words.append("hidden")
    return words


def actions_of(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def extents_of(node):
    try:
        box = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        return [box.x, box.y, box.width, box.height]
    except NotImplementedError:
        return None


def walk(node, depth, out):
    if node is None:
        return
    out.append({
        "depth": depth,
        "role": node.getRoleName(),
        "name": node.name or "",
        "description": node.description or "",
        "states": states_of(node),
        "actions": actions_of(node),
        "extents": extents_of(node),
        "path": getattr(node, "path", "") or "",
        "node": node,
    })
    for index in range(node.childCount):
        walk(node.getChildAtIndex(index), depth + 1, out)


def dump(app):
    nodes = []
    walk(app, 0, nodes)
    return nodes


def press(nodes, name):
    for entry in nodes:
        if entry["name"] == name and entry["actions"]:
            entry["node"].queryAction().doAction(0)
            return True
    return False


def main():
    parser = argparse.ArgumentParser(description="Dump the AT-SPI tree of a running window.")
    parser.add_argument("--app", default="quarrin", help="application name (default quarrin)")
    parser.add_argument("--pid", type=int, help="the application's process id instead of its name")
    parser.add_argument("--wait", type=float, default=10, help="seconds to wait for the application")
    parser.add_argument("--press", help="press the first node of this name that has an action")
    parser.add_argument("--settle", type=float, default=0.5, help="seconds to let a press take effect")
    parser.add_argument("--json", action="store_true", help="print the tree as JSON")
    parser.add_argument("--paths", action="store_true", help="end each line with the node's D-Bus object path")
    args = parser.parse_args()

    deadline = time.monotonic() + args.wait
    app = None
    nodes = []
    # Wait for the application and for its window to have something to say.
    while time.monotonic() < deadline:
        app = find_application(args.app, args.pid)
        if app is not None:
            nodes = dump(app)
            if any(entry["name"] for entry in nodes[1:]):
                break
        time.sleep(0.2)
    if app is None:
        sys.exit("a11y-dump: no application %s on the accessibility bus" % (args.pid or args.app))

    if args.press:
        if not press(nodes, args.press):
            sys.exit("a11y-dump: nothing named %r has an action" % args.press)
        time.sleep(args.settle)
        nodes = dump(app)

    if args.json:
        for entry in nodes:
            del entry["node"]
        json.dump(nodes, sys.stdout, indent=1)
        print()
        return

    for entry in nodes:
        if not entry["name"] and not entry["description"]:
            continue
        line = "  " * entry["depth"] + entry["role"] + ": " + entry["name"]
        if entry["description"]:
            line += " — " + entry["description"]
        # The application node has no states of its own.
        if entry["states"] and entry["depth"] > 0:
            line += " [" + ", ".join(entry["states"]) + "]"
        if args.paths:
            line += " @" + entry["path"]
        print(line)


if __name__ == "__main__":
    main()
