#!/usr/bin/python3
"""Reads the running Orvane dialog as a screen reader does (AT-SPI) and
checks what a person who cannot see it learns: every focusable control has
a name, the six octet fields have six distinct names and no dash labels
them, the host list is a table whose rows are the hosts a sweep found
(newest first), and its selected row follows the keyboard.

Run inside a lab client namespace with the dialog started on the same
session bus; the expected hosts come from the lab's environment
(ORVANE_LAB_HOST_IPS/_MACS, ORVANE_LAB_CLIENT_IP/_MAC). Exits 0 when all
checks pass, 1 otherwise; prints what it read.
"""
import re
import sys

import pyatspi

from a11y_lab import find_app, lab_hosts, poll

KEYSYMS = {"Home": 0xFF50, "Up": 0xFF52, "Down": 0xFF54}

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
    return ok


def states(obj):
    return set(obj.getState().getStates())


def labels_of(obj):
    names = []
    for relation in obj.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def spoken_name(obj):
    """What a screen reader announces: the name, else the labels' names."""
    return obj.name or " ".join(n for n in labels_of(obj) if n)


def table_rows(table):
    t = table.queryTable()
    return [tuple(t.getAccessibleAt(r, c).name for c in range(t.nColumns)) for r in range(t.nRows)]


def press(key):
    pyatspi.Registry.generateKeyboardEvent(KEYSYMS[key], None, pyatspi.KEY_SYM)


def octet_texts(fields):
    return [f.queryText().getText(0, -1) for f in fields]


def main():
    app = poll(lambda: find_app("Orvane"))
    if not check(app is not None, "the dialog is on the accessibility bus"):
        return 1
    everything = pyatspi.findAllDescendants(app, lambda o: True)
    print("read %d objects" % len(everything))

    focusable = [o for o in everything if pyatspi.STATE_FOCUSABLE in states(o)]
    for obj in focusable:
        check(spoken_name(obj) != "", "focusable %s has a name (%r)" % (obj.getRoleName(), spoken_name(obj)))

    octets = [o for o in everything if o.getRoleName() == "text" and re.fullmatch(r"MAC 地址第 [1-6] 段", o.name)]
    check([o.name for o in octets] == ["MAC 地址第 %d 段" % i for i in range(1, 7)],
          "six octet fields named 第 1 段 … 第 6 段 in tab order: %r" % [o.name for o in octets])
    dashes = [o for o in everything if o.getRoleName() == "label" and o.name == "－"]
    check(len(dashes) == 5, "five dash labels")
    check(all(labels_of(o) == [] for o in octets), "no octet field is labelled by anything")
    check(all(not any(r.getRelationType() == pyatspi.RELATION_LABEL_FOR for r in d.getRelationSet())
              for d in dashes), "no dash labels a field")

    tables = [o for o in everything if o.getRoleName() == "table"]
    if not check(len(tables) == 1, "one table"):
        return 1
    table = tables[0]
    t = table.queryTable()
    headers = [t.getColumnHeader(c).name for c in range(t.nColumns)]
    check(headers == ["IP地址", "MAC地址"], "column headers %r" % headers)
    check(t.nRows == 0, "no rows before a sweep")

    # A short sweep of the lab's subnet, started as a screen reader user
    # would: the button's action.
    scan = [o for o in everything if o.getRoleName() == "push button" and o.name == "网络探测"]
    if not check(len(scan) == 1, "the Scan button"):
        return 1
    scan[0].queryAction().doAction(0)
    expected = lab_hosts()
    check(len(expected) >= 3, "the lab has hosts to find: %r" % expected)
    rows = poll(lambda: table_rows(table) if table_rows(table) == expected else None, 120.0)
    check(rows == expected, "rows are the hosts found, newest first: %r (read %r)" % (expected, table_rows(table)))
    if rows != expected:
        return 1
    for r in range(len(rows)):
        cell = t.getAccessibleAt(r, 0)
        check(cell.getRoleName() == "table cell", "row %d is made of table cells" % r)

    # The keyboard moves the selected row; the octet fields follow it.
    table.queryComponent().grabFocus()
    check(poll(lambda: pyatspi.STATE_FOCUSED in states(table)), "the table takes the focus")
    for key, row in (("Home", 0), ("Down", 1), ("Down", 2), ("Up", 1)):
        press(key)
        selected = poll(lambda: list(t.getSelectedRows()) == [row])
        check(selected, "%s selects row %d (selected %r)" % (key, row, list(t.getSelectedRows())))
        cell = t.getAccessibleAt(row, 0)
        check({pyatspi.STATE_SELECTED, pyatspi.STATE_FOCUSED} <= states(cell),
              "row %d's first cell is selected and focused" % row)
        octets_shown = "".join(octet_texts(octets))
        check(octets_shown == rows[row][1].replace("-", ""),
              "the octet fields read %s" % octets_shown)

    exit_button = [o for o in everything if o.getRoleName() == "push button" and o.name == "退出"]
    if exit_button:
        exit_button[0].queryAction().doAction(0)
    print("%d checks failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
