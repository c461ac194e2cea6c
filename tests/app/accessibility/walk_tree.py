#!/usr/bin/python3
"""Walks Tamblin's windows over AT-SPI as a screen reader does, in Chinese and
English, and fails on what a blind user would meet: a control without a name,
one named like its sibling or like its own value, a slider, spin box or meter
without a value in its user's units, a Tab order that does not follow the
screen, cut handles that keys cannot move.

usage: walk_tree.py PROGRAM PLUGINS SUMMARY
PROGRAM runs with the window driver plugin from PLUGINS (commands on its
standard input); SUMMARY receives every control's role, name and value.
Runs inside a private session bus and X display (accessibility_walk.sh).
"""
import os
import re
import select
import subprocess
import sys
import time

import pyatspi

DEADLINE = 20  # seconds any one wait may take before the walk gives up
TAB, RIGHT, HOME = 0xFF09, 0xFF53, 0xFF50  # X key symbols
SHIFT = 50  # the X key code of the left Shift key

# The main window's Tab order, as the controls sit on the screen (English names).
READING_ORDER = [
    "Input device", "Input line", "Recording level", "Monitor input", "Pre-record seconds", "Second input device",
    "Computer sound", "Output file",
    "Choose output file", "Open Folder", "Output format", "Choose output format", "Sample rate", "Stereo", "File type",
    "Left clip lamp",
    "Right clip lamp", "Cut start", "Cut end", "Play", "Playback position", "Cut", "Tags…", "Echo",
    "Phase Shift", "Amplifier", "Equalizer", "Settings", "Schedule/Trigger", "Help", "Start Recording",
    "Next tags…", "About", "Minimize to Tray"]

# Ranges in the user's units (English names): the raw steps would differ.
UNITS = {
    "Recording level": (0, 100), "Pre-record seconds": (0, 600), "Left level": (-60, 0),
    "Right level": (-60, 0),
    "Length (ms)": (1, 1000), "Effect strength": (10, 90), "Dry": (-100, 100), "Wet": (-100, 100),
    "Feedback": (-90, 90), "Sweep rate": (0.1, 1.5), "Sweep range": (3, 6), "Frequency": (-10, 150),
    "Gain": (-12, 12), "Equalizer": (-12, 12)}


def units(name):
    """The range a control of this name reads in (an equalizer band by its first word)."""
    return UNITS.get(name.split(" ")[0] if name.startswith("Equalizer ") else name)

VALUED = {"slider", "spin button", "progress bar"}
failures = []


def fail(text):
    failures.append(text)
    print("FAIL: " + text, flush=True)


def wait_for(what, probe):
    """Polls `probe` until it returns something; a bounded wait for a state change."""
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        found = probe()
        if found is not None and found is not False:
            return found
        time.sleep(0.05)
    raise SystemExit("walk_tree: gave up waiting for " + what)


class Program:
    def __init__(self, executable, plugins, language):
        env = dict(os.environ, QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_PLUGIN_PATH=plugins, QT_QPA_GENERIC_PLUGINS="tamblinwindowdriver")
        self.process = subprocess.Popen([executable, "--lang", language], env=env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True, bufsize=1)

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def expect(self, prefix):
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            ready, _, _ = select.select([self.process.stdout], [], [], end - time.monotonic())
            line = self.process.stdout.readline() if ready else ""
            if ready and not line:
                break
            if line.startswith(prefix):
                return line.strip()
        raise SystemExit("walk_tree: the program never said " + prefix)

    def quit(self):
        self.send("quit")
        try:
            self.process.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            self.process.kill()


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def states(node):
    return node.getState()


def value_of(node):
    try:
        value = node.queryValue()
    except NotImplementedError:
        return None
    return value.currentValue, value.minimumValue, value.maximumValue


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    return next((app for app in children(desktop) if app is not None and app.name == "org.tamblin.Tamblin"), None)


def windows():
    app = application()
    return children(app) if app is not None else []


def find(node, wanted):
    if wanted(node):
        return node
    for child in children(node):
        found = find(child, wanted)
        if found is not None:
            return found
    return None


def find_all(node, wanted, found=None):
    found = [] if found is None else found
    if wanted(node):
        found.append(node)
    for child in children(node):
        find_all(child, wanted, found)
    return found


def focused(node):
    return find(node, lambda each: states(each).contains(pyatspi.STATE_FOCUSED))


def shown_name(node):
    return "%s '%s'" % (node.getRoleName(), node.name)


def check_tree(window, english, summary, depth=0):
    """Every control named, unique among its siblings, not named after its value; values in units."""
    siblings = children(window)
    names = [child.name for child in siblings]
    for child in siblings:
        role = child.getRoleName()
        state = states(child)
        value = value_of(child)
        text = text_of(child) if role in ("text", "spin button") else None
        items = find_all(child, lambda n: n.getRoleName() == "list item") if role == "combo box" else []
        chosen = [item.name for item in items if states(item).contains(pyatspi.STATE_SELECTED)]
        described = value if value is not None else text if text is not None else ", ".join(chosen)
        summary.append("  " * depth + "%s | %s | %s" % (role, child.name, "" if described is None else described))
        control = state.contains(pyatspi.STATE_FOCUSABLE) and state.contains(pyatspi.STATE_SHOWING)
        if control or role in VALUED or role == "status bar":
            if not child.name:
                fail("%s without a name in %s" % (role, shown_name(window)))
            elif names.count(child.name) > 1:
                fail("%s shares its name with a sibling" % shown_name(child))
            own_values = ([text] if text else []) + [item.name for item in items]
            if child.name and child.name in own_values:
                fail("%s is named after its own value" % shown_name(child))
        if role in VALUED:
            if value is None:
                fail("%s has no value" % shown_name(child))
            elif english and units(child.name) and (value[1], value[2]) != units(child.name):
                fail("%s reads %s..%s, not in its units %s" % (shown_name(child), value[1], value[2],
                                                               units(child.name)))
        check_tree(child, english, summary, depth + 1)


def press(window, name):
    button = wait_for("the button " + name, lambda: find(window, lambda n: n.getRoleName() == "push button"
                                                          and n.name == name))
    button.queryAction().doAction(0)


def key(symbol, shifted=False):
    if shifted:
        pyatspi.Registry.generateKeyboardEvent(SHIFT, None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(symbol, None, pyatspi.KEY_SYM)
    if shifted:
        pyatspi.Registry.generateKeyboardEvent(SHIFT, None, pyatspi.KEY_RELEASE)


def tab_walk(program, frame, start):
    """The names and tree paths that Tab visits from `start` until it comes back."""
    program.send("activate")
    program.expect("ACTIVE")
    start.queryComponent().grabFocus()
    wait_for("focus on " + start.name, lambda: states(start).contains(pyatspi.STATE_FOCUSED))
    visited = [start]
    for _ in range(80):
        key(TAB)
        previous = visited[-1]
        now = wait_for("Tab to move", lambda: (lambda f: f if f is not None and f != previous else None)(
            focused(frame)))
        if now == start:
            break
        visited.append(now)
    return visited


def tree_path(node):
    path = []
    while node.parent is not None and node.getRoleName() not in ("frame", "dialog"):
        path.insert(0, node.getIndexInParent())
        node = node.parent
    return tuple(path)


def moved_value(node, before):
    now = node.queryValue().currentValue
    return now if abs(now - before) > 1e-9 else None  # 0.0 is a value


def check_cut_handle(handle):
    """Keys move a cut handle: Right 0.1 s, Shift+Right 1 s, End the take's end, Home back to 0."""
    value = handle.queryValue()
    start = value.currentValue
    for symbol, shifted, step in ((RIGHT, False, 0.1), (RIGHT, True, 1.0)):
        key(symbol, shifted)
        now = wait_for("the cut handle to move", lambda: moved_value(handle, start))
        if abs(now - start - step) > 1e-3:
            fail("a key moved the cut handle by %.3f s, not %.1f s" % (now - start, step))
        start = now
    key(HOME)
    wait_for("Home to move the cut handle", lambda: moved_value(handle, start))
    if value.currentValue != 0:
        fail("Home left the cut handle at %s s" % value.currentValue)


def dialog_tree(frame, button, english, summary):
    press(frame, button)
    dialog = wait_for("the dialog of " + button, lambda: next(
        (w for w in windows() if w.getRoleName() == "dialog" and states(w).contains(pyatspi.STATE_SHOWING)), None))
    summary.append("dialog | %s" % dialog.name)
    check_tree(dialog, english, summary, 1)
    return dialog


def close_dialog(dialog, close):
    press(dialog, close)
    wait_for("the dialog to close", lambda: not any(
        w.name == dialog.name and states(w).contains(pyatspi.STATE_SHOWING) for w in windows()))


def walk(executable, plugins, language, summary):
    english = language == "en"
    program = Program(executable, plugins, language)
    try:
        program.expect("READY")
        frame = wait_for("the window over AT-SPI", lambda: next(
            (w for w in windows() if w.getRoleName() == "frame"), None))
        program.send("select Test-Tone-440Hz")
        program.expect("SELECTED")
        program.send("start")
        program.expect("STATE recording")
        meter = find(frame, lambda n: n.getRoleName() == "progress bar")
        if value_of(meter) is None:
            fail("the level meter %s has no value while recording" % meter.name)
        else:
            wait_for("the level meter to read the tone", lambda: meter.queryValue().currentValue > -60)
        # The meters move before Start (the input is monitored): wait for the take itself to hold sound.
        wait_for("the take to hold a second", lambda: find(frame, lambda n: n.getRoleName() == "label" and re.match(
            r"(Length|长度): [0-9]+:[0-9]*[1-9]", n.name or "")))
        program.send("stop")
        program.expect("STATE idle")

        summary.append("== %s: main window" % language)
        check_tree(frame, english, summary)

        first = find(frame, lambda n: n.getRoleName() == "combo box")
        visited = tab_walk(program, frame, first)
        names = [node.name for node in visited]
        if english and names != READING_ORDER:
            fail("Tab order %s\n  not the reading order %s" % (names, READING_ORDER))
        handle = visited[READING_ORDER.index("Cut start")] if len(visited) == len(READING_ORDER) else None
        if handle is not None:
            handle.queryComponent().grabFocus()
            wait_for("focus on the cut handle", lambda: states(handle).contains(pyatspi.STATE_FOCUSED))
            check_cut_handle(handle)

        labels = {"en": ("Settings", "Close", "Schedule/Trigger", "Cancel", "Choose output format", "Cancel",
                         "Tags…", "Cancel"),
                  "zh": ("设置", "关闭", "定时/触发", "取消", "选择输出格式", "取消", "标签…", "取消")}[language]
        for button, close in zip(labels[0:6:2], labels[1:6:2]):
            close_dialog(dialog_tree(frame, button, english, summary), close)

        tags = dialog_tree(frame, labels[6], english, summary)
        program.send("activate")
        program.expect("ACTIVE")
        fields = find_all(tags, lambda n: n.getRoleName() in ("text", "spin button")
                          and states(n).contains(pyatspi.STATE_FOCUSABLE))
        date = next(n for n in fields if n.getRoleName() == "spin button")
        date.queryComponent().grabFocus()
        wait_for("focus on the date", lambda: states(date).contains(pyatspi.STATE_FOCUSED))
        key(TAB)
        after = wait_for("Tab to leave the date", lambda: (lambda f: f if f is not None and f != date else None)(
            focused(tags)))
        if after.getRoleName() != "text":
            fail("Tab from the date field went to %s, not the next field" % shown_name(after))
        close_dialog(tags, labels[7])
        return [tree_path(node) for node in visited]
    finally:
        program.quit()


def main():
    executable, plugins, summary_file = sys.argv[1:4]
    summary = []
    paths = {language: walk(executable, plugins, language, summary) for language in ("en", "zh")}
    if paths["zh"] != paths["en"]:
        fail("the Chinese Tab order differs from the English one")
    with open(summary_file, "w", encoding="utf-8") as out:
        out.write("\n".join(summary) + "\n")
    print("accessibility walk: %d faults; tree in %s" % (len(failures), summary_file))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
