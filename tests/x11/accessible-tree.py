#!/usr/bin/env python3
"""Reads the panel's accessibility tree over AT-SPI, as a screen reader does, and checks that the
three lists are named by their labels with their entry as the value, and that the eight colour
swatches are push buttons that can be pressed. Run by accessibility.sh."""
import sys
import time

import pyatspi

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
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("lists named by their labels with their entries as values; swatches are buttons")
    return 1 if failures else 0


sys.exit(main())
