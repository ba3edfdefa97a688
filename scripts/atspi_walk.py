#!/usr/bin/python3
"""Prints what a screen reader finds in a running Morvel through AT-SPI.

For each page of the main window: every control with its role, name,
description and (for edits) its text; each grid's column headers; then the
names that are missing or shared by two controls. Then it moves each grid
one record down with the Down key, as a user would, and prints what the
picture views and edits say afterwards. Last the database-location dialog,
opened from the menu.

Not a test: scripts/a11y-walk.sh starts Morvel on the demo stock under Xvfb
with the accessibility bus and runs this beside it.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

CONTROLS = {"push button", "toggle button", "check box", "text", "table", "page tab"}
# Containers a reader passes through without saying anything.
SILENT = {"filler", "frame", "layered pane", "scroll bar", "panel"}
KEY_DOWN = 0xFF54  # the Down keysym


def find_app(name, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == name:
                return app
        time.sleep(0.5)
    return None


def children(obj):
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is not None:
            yield child


def find(obj, role):
    if obj.get_role_name() == role:
        return obj
    for child in children(obj):
        found = find(child, role)
        if found is not None:
            return found
    return None


def has(obj, state):
    return obj.get_state_set().contains(state)


def text_of(obj):
    if "Text" not in obj.get_interfaces():
        return None
    return Atspi.Text.get_text(obj, 0, Atspi.Text.get_character_count(obj))


def labelled_by(obj):
    names = []
    for relation in obj.get_relation_set():
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            for i in range(relation.get_n_targets()):
                names.append(relation.get_target(i).get_name())
    return names


def describe(obj):
    role = obj.get_role_name()
    line = f'{role} "{obj.get_name()}"'
    if obj.get_description():
        line += f' description="{obj.get_description()}"'
    if role == "text":
        line += f' text="{text_of(obj)}"'
        if labelled_by(obj):
            line += f" labelled-by={labelled_by(obj)}"
    if not has(obj, Atspi.StateType.SHOWING):
        line += " (not showing)"
    return line


def table_summary(table, indent):
    rows = Atspi.Table.get_n_rows(table)
    columns = Atspi.Table.get_n_columns(table)
    headers = []
    for c in range(columns):
        header = Atspi.Table.get_column_header(table, c)
        headers.append(f"{header.get_name()} [{header.get_role_name()}]" if header else "-")
    print(f"{indent}  {rows} rows x {columns} columns; column headers:")
    print(f"{indent}    " + "; ".join(headers))
    if rows:
        cells = []
        for c in range(columns):
            cell = Atspi.Table.get_accessible_at(table, 0, c)
            if cell is not None and Atspi.Component.get_extents(cell, Atspi.CoordType.SCREEN).width > 0:
                cells.append(cell.get_name())
        print(f"{indent}  first record, columns on show: " + " | ".join(cells))


def walk(obj, depth, controls):
    role = obj.get_role_name()
    indent = "  " * depth
    speaks = role not in SILENT or obj.get_name() or obj.get_description()
    if speaks:
        print(indent + describe(obj))
        depth += 1
    if role in CONTROLS and has(obj, Atspi.StateType.SHOWING):
        controls.append(obj)
    if role == "table":
        table_summary(obj, indent)
        return
    if role == "text" or role == "scroll bar":
        return
    for child in children(obj):
        walk(child, depth, controls)


def check(controls):
    seen = {}
    for obj in controls:
        name = obj.get_name()
        if not name:
            print(f"  NAMELESS: {obj.get_role_name()}")
        else:
            seen.setdefault(name, []).append(obj.get_role_name())
    for name, roles in seen.items():
        if len(roles) > 1:
            print(f'  SHARED NAME "{name}": {", ".join(roles)}')


def showing_page(pages):
    for page in children(pages):
        if has(page, Atspi.StateType.SHOWING):
            return page
    return None


def press_down(table):
    """Clicks the grid's first record (which also activates the window) and
    presses Down; returns the rows selected afterwards."""
    for column in range(Atspi.Table.get_n_columns(table)):
        cell = Atspi.Table.get_accessible_at(table, 0, column)
        box = Atspi.Component.get_extents(cell, Atspi.CoordType.SCREEN)
        if box.width > 0:  # not a hidden column
            break
    Atspi.generate_mouse_event(box.x + box.width // 2, box.y + box.height // 2, "b1c")
    time.sleep(0.5)
    Atspi.generate_keyboard_event(KEY_DOWN, None, Atspi.KeySynthType.SYM)
    time.sleep(1.0)
    return list(Atspi.Table.get_selected_rows(table))


def after_move(page):
    for obj in iter_tree(page):
        role = obj.get_role_name()
        if role == "image" or (role == "filler" and obj.get_name()):
            print(f'    {describe(obj)}')
        elif role == "text" and obj.get_name() and labelled_by(obj):
            print(f'    {obj.get_name()}: "{text_of(obj)}"')


def iter_tree(obj):
    yield obj
    for child in children(obj):
        yield from iter_tree(child)


def main():
    app = find_app(sys.argv[1] if len(sys.argv) > 1 else "morvel")
    if app is None:
        print("Morvel did not appear on the accessibility bus")
        return 1
    time.sleep(2)
    frame = find(app, "frame")
    tabs = find(frame, "page tab list")
    pages = find(frame, "layered pane")
    for index, tab in enumerate(children(tabs)):
        if tab.get_role_name() != "page tab":
            continue
        Atspi.Action.do_action(tab, 0)  # "Press", as a reader switches tabs
        time.sleep(0.5)
        print(f'=== page {index}: tab "{tab.get_name()}"')
        page = showing_page(pages)
        controls = []
        walk(page, 1, controls)
        print("  --- checks")
        check(controls)
        table = find(page, "table")
        if table is not None:
            rows = press_down(table)
            print(f'  --- after Down in the grid "{table.get_name()}": selected rows {rows}')
            after_move(page)
    walk_dialog(app, frame)
    return 0


def find_named(obj, role, name):
    for item in iter_tree(obj):
        if item.get_role_name() == role and item.get_name() == name:
            return item
    return None


def walk_dialog(app, frame):
    """Opens the database-location dialog from the menu, walks it, cancels it."""
    item = find_named(frame, "menu item", "Путь к БД")
    try:
        Atspi.Action.do_action(item, 0)
    except GLib.Error:
        pass  # the modal dialog holds back the reply until it closes
    time.sleep(1.0)
    dialog = find(app, "dialog")
    if dialog is None:
        print("=== the dialog did not open")
        return
    print(f'=== dialog "{dialog.get_name()}"')
    controls = []
    for child in children(dialog):
        walk(child, 1, controls)
    print("  --- checks")
    check(controls)
    cancel = find_named(dialog, "push button", "Cancel")
    if cancel is not None:
        Atspi.Action.do_action(cancel, 0)
        time.sleep(0.5)
        print(f"  after Cancel: dialog showing: {has(dialog, Atspi.StateType.SHOWING)}")


if __name__ == "__main__":
    sys.exit(main())
