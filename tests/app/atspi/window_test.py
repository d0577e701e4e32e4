"""The main window as a screen reader meets it, through the accessibility tree (AT-SPI):
every control has a name and a description, the title names the open disc, the
filter box narrows the list, and the keys work from the items list."""
import subprocess
import sys
import time

import pyatspi

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_TABLE,
    pyatspi.ROLE_TREE,
    pyatspi.ROLE_LIST,
}


def wait_for(what, look, limit=120.0):
    """A hang guard, not a timing: polls `look` until it gives a value."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        try:
            found = look()
        except Exception:  # the tree changes under us while the window builds
            found = None
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit(f"FAILED: {what}")


def find_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None or "carvox" not in (app.name or "").lower():
            continue
        for window in app:
            if window is not None and window.getRole() == pyatspi.ROLE_FRAME and window.name.startswith("Carvox"):
                return window
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def main():
    carvox, image = sys.argv[1], sys.argv[2]
    program = subprocess.Popen([carvox, image])
    failures = []
    try:
        window = wait_for("the window appears in the accessibility tree", find_window)
        wait_for("the title names the open disc", lambda: find_window().name.startswith("Carvox - "))
        window = find_window()

        controls = [node for node in descendants(window) if node.getRole() in CONTROL_ROLES and showing(node)]
        if len(controls) < 6:
            failures.append(f"only {len(controls)} controls found")
        for node in controls:
            # Qt names a combo box after its current text on AT-SPI, whatever name it was given.
            if not node.name:
                failures.append(f"a {node.getRoleName()} has no name")
            if node.getRole() != pyatspi.ROLE_COMBO_BOX and not node.description:
                failures.append(f"{node.getRoleName()} '{node.name}' has no description")
        print(f"checked {len(controls)} controls:", sorted(f"{node.getRoleName()} '{node.name}'" for node in controls))
        buttons = {node.name for node in controls if node.getRole() == pyatspi.ROLE_PUSH_BUTTON}
        for expected in ("Play", "Play looped", "Stop", "Export", "Refresh"):
            if expected not in buttons:
                failures.append(f"no button named '{expected}' (found {sorted(buttons)})")

        items = next(node for node in controls if node.name == "Programs and samples")
        volumes = next(node for node in controls if node.name == "Volumes")
        # Choosing the first volume lists its items; the filter narrows them and gives
        # them back.
        volumes.queryTable().addRowSelection(0)
        rows = wait_for("the first volume lists its items", lambda: items.queryTable().nRows)
        entry = next(node for node in controls if node.name == "Filter")
        entry.queryEditableText().setTextContents("zzzz-no-such-name")
        wait_for("the filter hides every row", lambda: items.queryTable().nRows == 0)
        entry.queryEditableText().setTextContents("")
        wait_for("an empty filter shows every row", lambda: items.queryTable().nRows == rows)
    finally:
        program.terminate()
        program.wait(timeout=60)
    for failure in failures:
        print("FAILED:", failure)
    print(f"{0 if failures else 1} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
