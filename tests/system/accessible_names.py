"""Reads the running program's accessibility tree as a screen reader does (AT-SPI) and checks
that every input carries the name of its visible caption and that the program's windows are
announced as windows with their titles.

Usage: accessible_names.py <full path of the open vocabulary file>
Run with Debian's /usr/bin/python3 (pyatspi) on the session's accessibility bus.
"""
import sys
import time

import pyatspi

FILE = sys.argv[1]
failures = []


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)


def wait_for(what, find, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    fail("no " + what + " within %d s" % seconds)


def program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "tafelix":
            return app
    return None


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        # A table's cells are checked on their own; the font list's items need no visit.
        if child.getRoleName() not in ("table", "list"):
            yield from descendants(child)


def named(app, role, name):
    return [n for n in descendants(app) if n.getRoleName() == role and n.name == name]


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    fail("'%s' has no press action" % node.name)


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


app = wait_for("program on the accessibility bus", program)
wait_for("window 'Tafelix'", lambda: named(app, "frame", "Tafelix"))
ENTRY_ROLES = ("entry", "text", "password text")


def entries(app):
    return {n.name for n in descendants(app) if n.getRoleName() in ENTRY_ROLES}


# --- "Vokabeln lernen": the word fields by the language they hold, the answer field by the
# caption above it; the status bar names the whole path, whatever it shows of it.
shown = entries(app)
for name in ("Deutsch", "Fremdsprache"):
    check(name in shown, "learning page: no input named '%s' (inputs: %s)" % (name, sorted(shown)))
status = [n for n in descendants(app) if n.getRoleName() == "label" and n.name == FILE]
check(len(status) == 1, "status bar: no label named with the whole path '%s'" % FILE)

# --- The program's own windows are windows with their titles, not nameless fillers: the help
# window (opened by "Hilfe" where the desktop has no viewer) and, below, "Sonderzeichen".
WINDOW_ROLES = ("frame", "dialog", "window")


def window_named(app, title):
    return [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
            if w is not None and w.name == title]


press(wait_for("toolbar button 'Hilfe'", lambda: named(app, "push button", "Hilfe"))[0])
help_window = wait_for("help window", lambda: window_named(app, "Tafelix – Hilfe"))[0]
check(help_window.getRoleName() in WINDOW_ROLES,
      "help window: role '%s', not a window" % help_window.getRoleName())

# --- "Einstellungen": the slider, the font list and the size box.
press(wait_for("tab 'Einstellungen'", lambda: named(app, "page tab", "Einstellungen"))[0])
wait_for("settings page", lambda: named(app, "slider", "maximale Fächergröße"))


def size_box_named(box):
    # A combo box's own name is its text on this desktop; its caption comes through the
    # label relation, and its field is named as well.
    labels = [t.name for r in box.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for t in (r.getTarget(i) for i in range(r.getNTargets()))]
    field = [c.name for c in descendants(box) if c.getRoleName() in ENTRY_ROLES]
    return "Schriftgröße:" in labels and field == ["Schriftgröße"]


boxes = [n for n in descendants(app) if n.getRoleName() == "combo box"]
check(any(size_box_named(b) for b in boxes),
      "settings: no combo box labelled 'Schriftgröße:' with its field named 'Schriftgröße'")
fonts = named(app, "list", "Schriftart (nur Eingabefelder)")
check(fonts and fonts[0].childCount > 0,
      "settings: no font list named 'Schriftart (nur Eingabefelder)' with its fonts")

# --- "Vokabeln bearbeiten": the four fields by their captions, as shown, and "Fach Nr".
press(wait_for("tab 'Vokabeln bearbeiten'", lambda: named(app, "page tab", "Vokabeln bearbeiten"))[0])
editor = ("Deutsch", "Fremsprache", "Andere, weitere Bedeutungen", "Bemerkung", "Fach Nr")
wait_for("editor fields", lambda: all(name in entries(app) for name in editor), seconds=10)

# The speech row's language box is announced by its caption, its language as its value.
speech = [b for b in descendants(app) if b.getRoleName() == "combo box"
          and b.name == "Sprache der Fremdsprache"]
check(len(speech) == 1, "editor: no combo box named 'Sprache der Fremdsprache' (combo boxes: %s)"
      % sorted(b.name for b in descendants(app) if b.getRoleName() == "combo box"))

# --- "Sonderz.": the grid is a table whose cells are named by their characters.
sonderz = [b for b in named(app, "push button", "Sonderz.") if enabled(b)]
check(len(sonderz) == 1, "editor: no enabled button 'Sonderz.'")
press(sonderz[0])
grid = wait_for("character grid", lambda: [t for t in descendants(app)
                                            if t.getRoleName() == "table" and t.childCount == 230])[0]
cells = {i: grid.getChildAtIndex(i) for i in (0, 22, 23, 195, 222, 223)}
expected = {0: "!", 22: "7", 23: "8", 195: "ä", 222: "ÿ", 223: " "}
for i, character in expected.items():
    cell = cells[i]
    check(cell is not None and cell.getRoleName() == "table cell" and cell.name == character,
          "grid cell %d: %r, not a cell named %r" % (i, cell and (cell.getRoleName(), cell.name),
                                                     character))

characters = window_named(app, "Sonderzeichen")
check(len(characters) == 1 and characters[0].getRoleName() in WINDOW_ROLES,
      "special characters: %s, not a window named 'Sonderzeichen'"
      % [(w.getRoleName(), w.name) for w in characters])

if failures:
    sys.exit(1)
print("accessible names: every checked input carries its caption")
