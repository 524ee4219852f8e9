#!/usr/bin/env python3
"""Reads the panel's accessibility tree over AT-SPI, as a screen reader does, and checks that the
three lists are named by their labels with their entry as the value, that the eight colour
swatches are push buttons that can be pressed, and that the received-data log is read-only text
whose characters are the log's bytes: its lines, caret and selection, and the events that tell
of text coming in and of the log being cleared. Run by accessibility.sh, which passes the
control socket and glowdeck-ctl (CONTROL_SOCKET, CTL) so that the table can be made to talk."""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

LISTS = {"Port:": None, "Mode": "Default Mode", "Color Chooser": "Red"}
SWATCHES = [
    "Underlighting team 1 colour", "Underlighting team 2 colour",
    "Custom signs team 1 colour", "Custom signs team 2 colour",
    "Team 1 cup on colour", "Team 1 cup off colour",
    "Team 2 cup on colour", "Team 2 cup off colour",
]


def find_panel(deadline):
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name.lower() == "glowdeck":
                for window in app:
                    if window is not None and window.name == "Glowdeck":
                        return window
        time.sleep(0.2)
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def value_of(node):
    try:
        text = node.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        pass
    # A list's entry is also the name of its edit field, or of its selected item.
    for child in node:
        if child is not None and child.getRole() == pyatspi.ROLE_TEXT:
            return child.queryText().getText(0, -1)
    return None


def pump(condition, seconds):
    """Handles AT-SPI's events until the condition holds or the deadline passes."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while True:
        while context.iteration(False):
            pass
        if condition():
            return True
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)


def ctl(*arguments):
    command = [os.environ["CTL"], "--socket", os.environ["CONTROL_SOCKET"], *arguments]
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def check_log(window, failures):
    logs = [n for n in walk(window) if n.name == "Received data"]
    if not logs:
        failures.append("no control named 'Received data'")
        return
    log = logs[0]
    if log.getRole() != pyatspi.ROLE_TEXT:
        failures.append(f"the log is a {log.getRoleName()!r}, not text")
    states = log.getState()
    if states.contains(pyatspi.STATE_EDITABLE) or not states.contains(pyatspi.STATE_MULTI_LINE):
        failures.append("the log is not read-only text of many lines")
    text = log.queryText()
    if not os.environ.get("CTL"):
        return
    heard = []

    def listen(event):
        if event.source is not None and event.source.name == "Received data":
            heard.append((event.type, event.detail1, event.detail2, event.any_data))

    pyatspi.Registry.registerEventListener(listen, "object:text-changed")
    # The first port is the simulated table; it answers the version command with a line.
    ctl("connect", ctl("ports").splitlines()[0])
    ctl("prompt", "%VERSION:READ")
    if not pump(lambda: "Firmware version" in text.getText(0, -1), 15):
        failures.append(f"the log never read the table's answer: {text.getText(0, -1)!r}")
        return
    content = text.getText(0, -1)
    if text.characterCount != len(content) or "\r\n" not in content:
        failures.append(f"the log's text is not its bytes with CR LF: {content!r}")
    at = content.index("Firmware version")
    line, start, end = text.getTextAtOffset(at + 3, pyatspi.TEXT_BOUNDARY_LINE_START)
    if not line.startswith("Firmware version") or start != at:
        failures.append(f"the line at {at + 3} reads {line!r} from {start}")
    # New text is told as it comes: every insertion event holds the text at its place.
    pump(lambda: any(h[1] + h[2] == len(content) for h in heard if h[0].endswith("insert")), 5)
    inserts = [h for h in heard if h[0].endswith("insert")]
    if not inserts:
        failures.append("no event told of the log's new text")
    for _, offset, length, inserted in inserts:
        if content[offset:offset + length] != inserted:
            failures.append(f"an event told of {inserted!r} at {offset}, where the log has "
                            f"{content[offset:offset + length]!r}")
    text.setCaretOffset(at)
    text.setSelection(0, at, at + 8)
    if not pump(lambda: text.getSelection(0) == (at, at + 8), 5):
        failures.append(f"the selection set reads back as {text.getSelection(0)}")
    # Clear Received Data empties the log, and a screen reader is told what went.
    heard.clear()
    clear = [n for n in walk(window) if n.name == "Clear Received Data"]
    if clear:
        clear[0].queryAction().doAction(0)
    if not pump(lambda: text.characterCount == 0 and
                any(h[0].endswith("delete") for h in heard), 5):
        failures.append(f"clearing left {text.characterCount} characters and told {heard}")
    elif not any(h[3] == content for h in heard
                 if h[0].endswith("delete")):
        failures.append(f"clearing told of {heard}, not of the text that went")


def main():
    window = find_panel(time.monotonic() + 20)
    if window is None:
        print("FAIL: the panel's window is not on the accessibility bus")
        return 1
    failures = []
    combos = {n.name: n for n in walk(window) if n.getRole() == pyatspi.ROLE_COMBO_BOX}
    for label, value in LISTS.items():
        combo = combos.get(label)
        if combo is None:
            failures.append(f"no combo box named {label!r}; combo boxes: {sorted(combos)}")
            continue
        labelled = [
            target.name
            for relation in combo.getRelationSet()
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
            for target in (relation.getTarget(i) for i in range(relation.getNTargets()))
        ]
        if label not in labelled:
            failures.append(f"{label!r} is labelled by {labelled}")
        shown = value_of(combo)
        if value is not None and shown != value:
            failures.append(f"{label!r} reads its value as {shown!r}, not {value!r}")
    nodes = {n.name: n for n in walk(window)}
    for name in SWATCHES:
        swatch = nodes.get(name)
        if swatch is None:
            failures.append(f"no swatch named {name!r}")
            continue
        if swatch.getRole() != pyatspi.ROLE_PUSH_BUTTON:
            failures.append(f"{name!r} is a {swatch.getRoleName()!r}, not a push button")
        try:
            action = swatch.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
        except NotImplementedError:
            names = []
        if not any(n.lower() == "press" for n in names):
            failures.append(f"{name!r} offers the actions {names}, not press")
    check_log(window, failures)
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("lists named by their labels with their entries as values; swatches are buttons; "
              "the log reads as its bytes and tells of new text")
    return 1 if failures else 0


sys.exit(main())
