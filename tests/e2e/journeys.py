"""Journeys a technician takes through the real program."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402


def start_and_close(s):
    s.start_app()
    frame = s.wait_find(role="frame", name="Corvane", contains=True)
    assert frame is not None
    s.screenshot("main-window")
    s.app_proc.terminate()
    s.app_proc.wait(timeout=10)


def _rows_with_range(s, tree):
    """Texts of the device list's cells that show a measuring range."""
    cells = harness.pyatspi.findAllDescendants(tree, lambda a: " ... " in (a.name or ""))
    return [c.name for c in cells]


def _sim_frames(s, com):
    return sum(1 for line in s.sim_log(com).splitlines() if " RX " in line)


def _shown_pressure(s):
    """The number the pressure panel of the shown page names to assistive technology."""
    group = s.find_showing(name="Pressure ")
    for acc in s.find_all(root=group) if group is not None else []:
        try:
            return float(acc.name)
        except (TypeError, ValueError):
            continue  # the group itself, the unit box, the "-" and "+" labels
    return None


def add_k40_and_r70_and_see_live_values(s):
    s.start_sim(3, ["--instrument", "k40p", "--pressure", "4.2"])
    s.start_sim(5, ["--instrument", "r70", "--pressure", "7.5"])
    s.write_settings(s.ports_section("[Common]\nLanguage=1\n"))
    s.start_app()
    s.wait_find(role="frame", name="Corvane", contains=True)
    tree = s.wait_find(name="ListViewDevice")

    # Add: the pop-up opens on the port sub-menu with the first free port highlighted. The
    # machine may have serial ports of its own, so the simulator's entry is picked by name.
    def add_port(com):
        s.press(s.wait_find(name="Add", role="push button"))
        item = s.wait_for(lambda: s.find(name="COM%d" % com, role="menu item"), 10,
                          "menu entry COM%d" % com)
        s.screenshot("add-menu-com%d" % com)
        s.press(item)
        s.wait_for(lambda: s.find(name=str(com), root=tree), 10, "row of COM%d" % com)
        return time.time()

    opened = {3: add_port(3), 5: add_port(5)}

    # Both families detected: each row shows its range once the instrument is read.
    s.wait_for(lambda: len(_rows_with_range(s, tree)) >= 2, 30, "both instruments read")
    ranges = _rows_with_range(s, tree)
    assert any("16 bar" in r for r in ranges) or len(ranges) == 2, ranges

    # An ordinary port is left alone for 5 s after opening. Both times err early (the log's
    # clock starts after the launch, the row shows after the opening), so a search that
    # started at once would show a gap near zero.
    for c in (3, 5):
        first_ms = int(s.sim_log(c).split(None, 1)[0])
        gap = s.sims[c]["started"] + first_ms / 1000.0 - opened[c]
        assert 4.0 <= gap <= 9.0, ("first request after opening COM%d" % c, gap)

    # Live values: the simulators keep receiving requests.
    before = {c: _sim_frames(s, c) for c in (3, 5)}
    time.sleep(2.0)
    after = {c: _sim_frames(s, c) for c in (3, 5)}
    for c in (3, 5):
        assert after[c] > before[c] + 5, (c, before[c], after[c])
    s.screenshot("two-instruments")

    # The painted live pressure is readable through AT-SPI and is the simulator's value.
    for com, bar in ((3, 4.2), (5, 7.5)):
        s.click_widget(s.find(name=str(com), root=tree))
        s.wait_for(lambda: _shown_pressure(s) == bar, 10,
                   "COM%d pressure %s bar read through AT-SPI (last %r)"
                   % (com, bar, _shown_pressure(s)))

    ini = s.read_settings()
    assert "Language=1" in ini, ini
    s.app_proc.terminate()
    s.app_proc.wait(timeout=15)

# --- journeys through language, tags, logging and closing ------------------------------------

def _add(s, tree, com):
    s.press(s.wait_find(name="Add", role="push button"))
    item = s.wait_for(lambda: s.find(name="COM%d" % com, role="menu item"), 10,
                      "menu entry COM%d" % com)
    s.press(item)
    s.wait_for(lambda: s.find(name=str(com), root=tree), 10, "row of COM%d" % com)


def _start_with(s, sims, language=1):
    for com, args in sims:
        s.start_sim(com, args)
    s.write_settings(s.ports_section("[Common]\nLanguage=%d\n" % language))
    s.start_app()
    s.wait_find(role="frame", name="Corvane", contains=True)
    tree = s.wait_find(name="ListViewDevice")
    for com, _ in sims:
        _add(s, tree, com)
    s.wait_for(lambda: len(_rows_with_range(s, tree)) >= len(sims), 40, "instruments read")
    return tree


def _menu(s, *path):
    """Opens a menu-bar menu and picks an entry, the way a mouse user does."""
    for name in path:
        item = s.wait_for(lambda: s.find_showing(name=name, role="menu item"), 10,
                          "menu item %r" % name)
        s.click_widget(item)
        time.sleep(0.3)


def _ini_value(ini, section, key):
    current = None
    for line in ini.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
        elif current == section and "=" in line:
            k, v = line.split("=", 1)
            if k == key:
                return v
    return None


def _ini_section(ini, section):
    out, current = {}, None
    for line in ini.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
        elif current == section and "=" in line:
            k, v = line.split("=", 1)
            out[k] = v
    return out


def switch_language_and_rename_tag(s):
    tree = _start_with(s, [(3, ["--instrument", "k40p"])])
    _menu(s, "Language", "Deutsch")
    s.wait_find(name="Sprache", role="menu item")
    s.wait_find(name="Messstelle", role="table column header")
    s.wait_for(lambda: _ini_value(s.read_settings(), "Common", "Language") == "0", 5,
               "Language=0 written")
    s.screenshot("german")
    _menu(s, "Sprache", "English")
    s.wait_find(name="Language", role="menu item")
    s.wait_find(name="Tag", role="table column header")
    s.wait_for(lambda: _ini_value(s.read_settings(), "Common", "Language") == "1", 5,
               "Language=1 written")

    # The tag column starts with the instrument's identity; F2 edits it in place.
    ident = [c for c in s.find_all(role="table cell", root=tree)
             if c.name and c.name not in ("3",) and " ... " not in c.name][0].name
    s.click_widget(s.find(name=ident, root=tree))
    s.key("F2")
    edit = s.wait_for(lambda: s.find_showing(name="EditDeviceName"), 5, "tag editor")
    assert edit is not None
    s.key("ctrl+a")
    s.type_text("Kessel 1")
    s.screenshot("rename-tag")
    s.key("Return")
    s.wait_for(lambda: s.find(name="Kessel 1", role="table cell", root=tree), 5,
               "renamed tag in the list")
    s.wait_for(lambda: _ini_section(s.read_settings(), "Idents").get(ident) == "Kessel 1", 5,
               "[Idents] %s=Kessel 1" % ident)
    s.screenshot("renamed-tag")
    s.app_proc.terminate()
    s.app_proc.wait(timeout=15)


def _save_through_dialog(s, button, path):
    """Presses a Save button and answers Qt's own file dialog by typing the full path."""
    if os.path.exists(path):
        os.remove(path)
    s.click_widget(button)
    s.wait_for(lambda: [t for t in s.visible_windows() if t and t != "Corvane"], 10,
               "save dialog")
    time.sleep(0.5)
    s.screenshot("save-dialog-" + os.path.basename(path))
    s.key("ctrl+a")
    s.type_text(path)
    time.sleep(0.5)
    # The first Return may only close the path completer's pop-up.
    for _ in range(3):
        s.key("Return")
        time.sleep(1.0)
        if not [t for t in s.visible_windows() if t and t != "Corvane"]:
            break
    s.wait_for(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 10,
               "file %s written" % path)


def _print_dialog(s, what):
    return s.wait_for(lambda: [d for d in s.find_all(name="Print", role="dialog") if s.showing(d)],
                      15, what)[0]


def _print_to_pdf(s, button, pdf):
    """Prints through the system's print dialog to a PDF file, then from the preview window,
    which asks through a print dialog of its own, the way a technician without a printer does."""
    if os.path.exists(pdf):
        os.remove(pdf)
    s.click_widget(button)
    dialog = _print_dialog(s, "print dialog")
    time.sleep(0.5)
    field = s.wait_for(lambda: s.find_showing(name="Output file:", role="text", root=dialog), 10,
                       "output file field")
    s.click_widget(field)
    s.key("ctrl+a")
    s.type_text(pdf)
    s.screenshot("print-dialog")
    s.click_widget(s.find_showing(name="Print", role="push button", root=dialog))
    preview = s.wait_for(lambda: [w for w in s.find_all(role="dialog")
                                  if s.showing(w) and "Preview" in (w.name or "")], 30,
                         "print preview")[0]
    time.sleep(1.5)
    s.screenshot("print-preview")
    assert not os.path.exists(pdf), "printed before the preview's own Print"
    s.click_widget(s.wait_for(lambda: s.find_showing(name="Print", root=preview), 10,
                              "Print in the preview"))
    dialog = _print_dialog(s, "the preview's print dialog")
    time.sleep(0.5)
    s.click_widget(s.find_showing(name="Print", role="push button", root=dialog))
    s.wait_for(lambda: os.path.exists(pdf) and os.path.getsize(pdf) > 0, 30, "PDF written")
    s.wait_for(lambda: not [w for w in s.find_all(role="dialog") if s.showing(w)], 15,
               "preview closed after printing")
    time.sleep(1.0)
    return subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True,
                          check=True).stdout


def _run_logger(s):
    s.press(s.wait_find(name="Data logger", role="page tab"))
    start = s.wait_for(lambda: s.find_showing(name="Start", role="push button"), 10,
                       "Start button")
    s.wait_for(lambda: s.enabled(start), 20, "Start enabled")
    s.click_widget(start)
    stop = s.find_showing(name="Stop", role="push button")
    s.wait_for(lambda: s.enabled(stop), 10, "logging running")
    return start, stop


def _csv_rows(path):
    with open(path, encoding="utf-8-sig", errors="replace") as f:
        return [line.rstrip("\r\n") for line in f if line.strip()]


def _received(s, com):
    """(baud, bytes as hex text) of every frame the simulator on com received."""
    out = []
    for line in s.sim_log(com).splitlines():
        parts = line.split(None, 3)
        if len(parts) == 4 and parts[1] == "RX":
            out.append((int(parts[2]), parts[3].strip()))
    return out


def _first(frames, pred, what):
    for i, f in enumerate(frames):
        if pred(f):
            return i
    raise AssertionError("never received: " + what)


def _check_probe_order(s, k40_com, r70_com):
    """An ordinary port is searched for R70 first (9600 with and without the auto-baud byte,
    then 115200), then for the K40 family (TYP, SO); once found, live requests repeat."""
    so = "53 4F FF"
    k = _received(s, k40_com)
    assert k[0][0] == 9600 and k[0][1].startswith("55 " + so), k[:3]
    with_prefix = _first(k, lambda f: f[0] == 9600 and f[1].startswith("55 " + so), "R70 9600+0x55")
    without = _first(k, lambda f: f[0] == 9600 and f[1].startswith(so), "R70 9600")
    fast = _first(k, lambda f: f[0] == 115200, "R70 115200")
    typ = _first(k, lambda f: f[0] == 9600 and f[1].startswith("54 59 50"), "TYP")
    assert with_prefix < without < fast < typ, (with_prefix, without, fast, typ)
    tail = [f[1] for f in k[-20:]]
    assert max(tail.count(t) for t in set(tail)) >= 8, tail
    r = _received(s, r70_com)
    assert r[0][0] == 9600 and r[0][1].startswith("55 " + so), r[:3]
    assert not any(f[1].startswith("54 59 50") for f in r), "R-70 found, yet K40 probes followed"


def _kinds(frames):
    """Request kinds: the first two bytes after a possible auto-baud byte."""
    out = set()
    for _, hexes in frames:
        b = hexes.split()
        if b and b[0] == "55":
            b = b[1:]
        out.add(" ".join(b[:2]))
    return out


def adjust_zero_of_each_family(s):
    tree = _start_with(s, [(3, ["--instrument", "k40p", "--pressure", "0.05"]),
                           (5, ["--instrument", "r70", "--pressure", "0.05"])])
    for com in (3, 5):
        s.click_widget(s.find(name=str(com), root=tree))
        time.sleep(0.5)
        s.press(s.wait_find(name="Instrument", role="page tab"))
        tab = s.wait_for(lambda: s.find_showing(name="Adjustment", role="page tab"), 10,
                         "Adjustment tab")
        s.press(tab)
        time.sleep(0.5)
        s.click_widget(s.wait_for(lambda: s.find_showing(name="Zero point", role="radio button"),
                                  10, "Zero point"))
        live = _kinds(_received(s, com)[-10:])
        date_label = s.wait_for(lambda: s.find_showing_prefix("Adjustment date: "), 5,
                                "adjustment date")
        date_before = date_label.name
        s.click_widget(s.wait_for(lambda: s.find_showing(name="Adjust", role="push button"), 5,
                                  "Adjust"))
        time.sleep(1.0)
        arrows = [b for b in s.find_all(name="Adjustment ", role="push button")
                  if s.showing(b)]
        assert len(arrows) == 2, len(arrows)
        s.wait_for(lambda: s.enabled(arrows[1]), 10, "adjustment buttons enabled")
        n = len(_received(s, com))
        # Press and hold the decrease button: the zero point moves while it is held.
        x, y, w, h = arrows[1].queryComponent().getExtents(harness.pyatspi.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "mousedown",
                        "1"], check=True)
        time.sleep(2.0)
        subprocess.run(["xdotool", "mouseup", "1"], check=True)
        time.sleep(0.5)
        s.screenshot("adjusting-com%d" % com)
        during = _kinds(_received(s, com)[n:])
        assert during - live, ("no adjustment request while holding", during, live)
        accept = s.wait_for(lambda: s.find_showing(name="Accept", role="push button"), 5,
                            "Accept")
        s.wait_for(lambda: s.enabled(accept), 5, "Accept enabled")
        m = len(_received(s, com))
        s.click_widget(accept)
        time.sleep(1.5)
        assert len(_received(s, com)) > m, "nothing sent on Accept"
        s.wait_for(lambda: (s.find_showing_prefix("Adjustment date: ").name != date_before), 10,
                   "adjustment date renewed (was %r)" % date_before)
        s.screenshot("adjusted-com%d" % com)
    s.app_proc.kill()
    s.app_proc.wait(timeout=15)


def _open_settings_tab(s):
    s.press(s.wait_find(name="Instrument", role="page tab"))
    s.press(s.wait_for(lambda: s.find_showing(name="Settings", role="page tab"), 10,
                       "Settings tab"))
    time.sleep(1.0)
    return [a for a in s.find_all(role="spin button") if s.showing(a)]


def _set_spin(s, spin, value):
    s.click_widget(spin)
    s.key("ctrl+a")
    s.type_text(str(value))
    s.key("Tab")


def _load_factory_settings(s):
    s.click_widget(s.wait_for(lambda: s.find_showing(name="Load factory settings",
                                                     role="push button"), 5, "factory"))
    time.sleep(1.0)
    yes = s.find_showing(name="Yes", role="push button") or s.find_showing(name="OK",
                                                                           role="push button")
    if yes is not None:
        s.screenshot("factory-settings-question")
        s.click_widget(yes)


def _changed(before, after):
    return [i for i, (a, b) in enumerate(zip(before, after)) if a != b]


def write_and_restore_communication_parameters(s):
    # An RS-232 instrument: only those offer their communication settings.
    _start_with(s, [(3, ["--instrument", "k40p", "--output-code", "10"])])
    spins = _open_settings_tab(s)
    assert len(spins) == 2, len(spins)
    old = int(spins[0].queryValue().currentValue)
    new = old + 7 if old <= 8 else old - 7  # the response time, 1 to 15
    _set_spin(s, spins[0], new)
    factory = s.sim_memory(3)
    n = len(_received(s, 3))
    live = _kinds(_received(s, 3)[-10:])
    s.click_widget(s.wait_for(lambda: s.find_showing(name="Write", role="push button"), 5,
                              "Write"))
    s.wait_for(lambda: _kinds(_received(s, 3)[n:]) - live, 10, "parameters written")
    # The instrument's memory holds the new response time, in both nibbles of cell 104.
    written = s.wait_for(lambda: _changed(factory, s.sim_memory(3)), 10, "EEPROM changed")
    assert 104 in written and s.sim_memory(3)[104] == new * 0x11, (new, written)
    s.screenshot("parameters-written")
    time.sleep(1.0)
    after_write = s.sim_memory(3)
    _load_factory_settings(s)
    s.wait_for(lambda: [i for i in _changed(after_write, s.sim_memory(3)) if i in written], 10,
               "written cells restored")
    s.wait_for(lambda: int(spins[0].queryValue().currentValue) != new, 10,
               "value shown after restore")
    s.screenshot("parameters-restored")
    s.app_proc.kill()
    s.app_proc.wait(timeout=15)


def write_and_restore_r70_operating_parameters(s):
    # The R70 family offers its operating parameters only on instruments with USB output.
    _start_with(s, [(5, ["--instrument", "r70", "--output-kind", "5"])])
    spins = _open_settings_tab(s)
    assert len(spins) == 1, len(spins)
    mem = s.sim_memory(5)
    factory = mem[179] | mem[180] << 8 | mem[181] << 16
    assert int(spins[0].queryValue().currentValue) == mem[36] | mem[37] << 8, mem[35:38]
    _set_spin(s, spins[0], 250)
    s.screenshot("r70-settings")
    s.click_widget(s.wait_for(lambda: s.find_showing(name="Write", role="push button"), 5,
                              "Write"))
    # Interval in EEPROM 36 and 37, low byte first; the factory copy stays.
    s.wait_for(lambda: s.sim_memory(5)[36:38] == [250, 0], 10, "interval 250 in EEPROM")
    m = s.sim_memory(5)
    assert m[179] | m[180] << 8 | m[181] << 16 == factory, m[179:182]
    s.screenshot("r70-parameters-written")
    _load_factory_settings(s)
    s.wait_for(lambda: s.sim_memory(5)[35:38] == s.sim_memory(5)[179:182], 10,
               "factory operating parameters restored")
    s.wait_for(lambda: int(spins[0].queryValue().currentValue) == mem[180] | mem[181] << 8, 10,
               "factory interval shown")
    s.screenshot("r70-parameters-restored")
    s.app_proc.kill()
    s.app_proc.wait(timeout=15)


def log_both_and_save_csv_and_chart(s):
    _start_with(s, [(3, ["--instrument", "k40p", "--pressure", "4.2"]),
                    (5, ["--instrument", "r70", "--pressure", "7.5"])])
    time.sleep(1.0)
    _check_probe_order(s, 3, 5)
    before = {c: _sim_frames(s, c) for c in (3, 5)}
    start, stop = _run_logger(s)
    time.sleep(2)
    s.screenshot("logging")
    # 100 samples at the preset 100 ms.
    s.wait_for(lambda: not s.enabled(stop), 60, "logging finished after 100 samples")
    for c in (3, 5):
        assert _sim_frames(s, c) > before[c] + 100, (c, before[c], _sim_frames(s, c))

    s.press(s.wait_find(name="Table", role="page tab"))
    time.sleep(0.5)
    s.screenshot("logger-table")
    # The window grew to show the logger's table whole: every column header lies inside it.
    frame = s.find(role="frame", name="Corvane", contains=True)
    fx, _, fw, _ = frame.queryComponent().getExtents(harness.pyatspi.DESKTOP_COORDS)
    for head in s.find_all(role="table column header"):
        if s.showing(head):
            x, _, w, _ = head.queryComponent().getExtents(harness.pyatspi.DESKTOP_COORDS)
            assert fx <= x and x + w <= fx + fw, (head.name, x, w, fx, fw)
    csv = os.path.join(s.out_dir, "log.csv")
    _save_through_dialog(s, s.find_showing(name="Save...", role="push button"), csv)
    rows = _csv_rows(csv)
    data = [r for r in rows if r[:1].isdigit()]
    assert len(data) >= 100, (len(data), rows[:5])
    assert all(";" in r for r in data), rows[:5]
    assert any("4.2" in r or "4,2" in r for r in data), rows[:5]
    assert any("7.5" in r or "7,5" in r for r in data), rows[:5]

    text = _print_to_pdf(s, s.find_showing(name="Print...", role="push button"),
                         os.path.join(s.out_dir, "log-table.pdf"))
    # The devices block names both instruments' ranges; the table holds their values.
    assert "4.2" in text or "4,2" in text, text[:2000]
    assert "7.5" in text or "7,5" in text, text[:2000]
    assert "bar" in text, text[:2000]
    assert sum(1 for line in text.splitlines() if "4.200" in line) >= 100, text[:2000]

    s.press(s.wait_find(name="Chart", role="page tab"))
    time.sleep(0.5)
    s.screenshot("logger-chart")
    chart = os.path.join(s.out_dir, "chart.bmp")
    _save_through_dialog(s, s.find_showing(name="Save...", role="push button"), chart)
    with open(chart, "rb") as f:
        assert f.read(2) == b"BM"
    s.app_proc.kill()
    s.app_proc.wait(timeout=15)


def pull_one_away_while_logging_then_close_unsaved(s):
    _start_with(s, [(3, ["--instrument", "k40p", "--pressure", "4.2"]),
                    (5, ["--instrument", "r70", "--pressure", "7.5"])])
    start, stop = _run_logger(s)
    time.sleep(3)
    s.stop_sim(5)
    at_pull = _sim_frames(s, 3)
    s.wait_for(lambda: not s.enabled(stop), 60, "logging finished for the other instrument")
    assert _sim_frames(s, 3) > at_pull + 20, (at_pull, _sim_frames(s, 3))
    s.press(s.wait_find(name="Table", role="page tab"))
    time.sleep(0.5)
    s.screenshot("one-pulled-away")
    csv = os.path.join(s.out_dir, "pulled.csv")
    _save_through_dialog(s, s.find_showing(name="Save...", role="push button"), csv)
    data = [r.split(";") for r in _csv_rows(csv) if r[:1].isdigit()]
    assert len(data) >= 100, len(data)
    slashed = [r for r in data if "/" in [c.strip() for c in r]]
    assert slashed, data[-3:]
    # After the pull the K-40-P still has real values in every row.
    assert all(any(ch.isdigit() for ch in r[1]) for r in data if len(r) > 1), data[-3:]

    # The log was saved, but the logger still holds data: closing warns (message 10).
    s.close_window()
    msg = s.wait_for(lambda: s.find(name="There are data to be saved and they will be lost!",
                                    contains=True), 10, "message 10")
    assert msg is not None
    s.screenshot("close-unsaved")
    s.click_widget(s.wait_for(lambda: s.find_showing(name="Cancel", role="push button"), 5,
                              "Cancel"))
    time.sleep(1)
    assert s.app_proc.poll() is None, "Cancel must keep the program running"
    s.close_window()
    s.wait_for(lambda: s.find(name="There are data to be saved", contains=True), 10,
               "message 10 again")
    s.click_widget(s.wait_for(lambda: s.find_showing(name="OK", role="push button"), 5, "OK"))
    s.app_proc.wait(timeout=15)


def kill_while_logging_then_restore_and_save(s):
    """A logging run killed without warning comes back at the next start and saves whole."""
    _start_with(s, [(3, ["--instrument", "k40p", "--pressure", "4.2"]),
                    (5, ["--instrument", "r70", "--pressure", "7.5"])])
    start, stop = _run_logger(s)
    began = time.time()
    time.sleep(5)
    s.app_proc.kill()
    killed = time.time()
    s.app_proc.wait(timeout=15)
    recording = os.path.join(os.path.dirname(s.settings_path()), "Recording")
    assert [f for f in os.listdir(recording) if f.endswith(".journal")], os.listdir(recording)

    s.start_app()
    s.wait_find(role="frame", name="Corvane", contains=True)
    restore = s.wait_for(lambda: s.find_showing(name="Restore", role="push button"), 20,
                         "restore question")
    s.screenshot("restore-question")
    s.click_widget(restore)
    time.sleep(1.0)
    s.press(s.wait_find(name="Data logger", role="page tab"))
    s.press(s.wait_find(name="Table", role="page tab"))
    time.sleep(0.5)
    s.screenshot("restored-table")
    csv = os.path.join(s.out_dir, "restored.csv")
    _save_through_dialog(s, s.find_showing(name="Save...", role="push button"), csv)
    data = [r.split(";") for r in _csv_rows(csv) if r[:1].isdigit()]
    # Every sample up to 1 s before the kill: at 100 ms, at least one per 100 ms of that time,
    # less what the timer's slack under load may have skipped.
    least = int((killed - began - 1.0) / 0.1 * 0.8)
    assert len(data) >= least, (len(data), least)
    value = lambda text: float(text.replace(",", "."))  # noqa: E731
    assert all(abs(value(r[0]) - 4.2) < 0.01 and abs(value(r[3]) - 7.5) < 0.01
               for r in data), data[:3]

    # Closing normally (message 10 confirmed) removes the recording.
    s.close_window()
    s.wait_for(lambda: s.find(name="There are data to be saved", contains=True), 10,
               "message 10")
    s.click_widget(s.wait_for(lambda: s.find_showing(name="OK", role="push button"), 5, "OK"))
    s.app_proc.wait(timeout=15)
    assert not [f for f in os.listdir(recording) if f.endswith(".journal")], os.listdir(recording)


def add_a_simulator_through_the_ports_dialog(s):
    """A newcomer reaches a simulated instrument without opening the settings file."""
    link = s.start_sim(7, ["--instrument", "r70", "--pressure", "3.3"])
    s.write_settings("[Common]\nLanguage=0\n")
    s.start_app()
    s.wait_find(role="frame", name="Corvane", contains=True)
    tree = s.wait_find(name="ListViewDevice")

    _menu(s, "Gerät", "Schnittstellen…")
    # The main window has buttons of the same names: the dialog's own are looked up in it.
    dialog = s.wait_for(lambda: s.find_showing(name="Schnittstellen", role="dialog"), 10,
                        "Ports dialog")
    s.click_widget(s.wait_for(lambda: s.find_showing(name="EditPath"), 5, "path field"))
    s.key("ctrl+a")
    s.type_text(link)
    _set_spin(s, s.find_showing(name="SpinEditComNr"), 7)
    s.press(s.find_showing(name="Hinzufügen", role="push button", root=dialog))
    s.wait_for(lambda: _ini_value(s.read_settings(), "Ports", "COM7") == link, 5,
               "COM7 written by the dialog")
    s.wait_for(lambda: s.find_showing(name="COM7", role="table cell"), 5, "COM7 in the table")
    time.sleep(0.5)
    s.screenshot("ports-dialog-de")
    s.press(s.find_showing(name="Schließen", role="push button", root=dialog))
    s.wait_for(lambda: s.find_showing(name="TablePorts") is None, 5, "dialog closed")

    _menu(s, "Sprache", "English")
    s.wait_find(name="Language", role="menu item")
    _add(s, tree, 7)
    s.wait_for(lambda: len(_rows_with_range(s, tree)) >= 1, 40, "R-70 read")
    before = _sim_frames(s, 7)
    time.sleep(2.0)
    assert _sim_frames(s, 7) > before + 5, "live values from COM7"

    # The dialog names the row that uses the entry.
    _menu(s, "Instrument", "Ports…")
    dialog = s.wait_for(lambda: s.find_showing(name="Ports", role="dialog"), 10, "Ports dialog")
    # The machine's own serial ports may hold rows too: any row number will do.
    s.wait_for(lambda: s.find_showing_prefix("Row ", root=dialog), 10, "COM7 used by a row")
    time.sleep(0.5)
    s.screenshot("ports-dialog-en")
    s.press(s.find_showing(name="Close", role="push button", root=dialog))
    s.app_proc.terminate()
    s.app_proc.wait(timeout=15)


# --- the traffic view ------------------------------------------------------------------------

def _window_id(s, prefix):
    """The X window id of the mapped top-level window whose title starts with prefix."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                         capture_output=True, text=True)
    for w in out.stdout.split():
        name = subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                              text=True).stdout.strip()
        if name.startswith(prefix):
            return w
    return None


def _place(s, prefix, x, y, w, h):
    win = s.wait_for(lambda: _window_id(s, prefix), 10, "window %r" % prefix)
    for args in (["windowsize", win, str(w), str(h)], ["windowmove", win, str(x), str(y)],
                 ["windowraise", win]):
        subprocess.run(["xdotool"] + args, check=True)
    time.sleep(0.3)
    return win


def _traffic_window(s, com):
    """The traffic view's window, found among the program's top-level windows only: a walk
    through the whole tree would visit every cell of the views' tables."""
    def top():
        for i in range(s.app.childCount):
            a = s.app.getChildAtIndex(i)
            name = (a.name or "") if a is not None else ""
            if name.startswith("Traffic – COM%d" % com) or name.startswith(
                    "Datenverkehr – COM%d" % com):
                return a
        return None
    return s.wait_for(top, 10, "traffic window of COM%d" % com)


def _menu_outside_traffic(s, *path):
    """_menu, looking for the entries everywhere but in the traffic views."""
    def roots():
        for i in range(s.app.childCount):
            a = s.app.getChildAtIndex(i)
            name = (a.name or "") if a is not None else ""
            if not name.startswith("Traffic") and not name.startswith("Datenverkehr"):
                yield a

    def entry(name):
        for root in roots():
            for a in s.find_all(name=name, role="menu item", root=root):
                if s.showing(a):
                    return a
        return None
    for name in path:
        item = s.wait_for(lambda: entry(name), 10, "menu item %r" % name)
        s.click_widget(item)
        time.sleep(0.3)


def _wire_runs(frames):
    """(direction, hex) frames joined into runs of one direction: the simulator cuts what it
    receives at every 0x0D, the view at every request."""
    runs = []
    for direction, hexes in frames:
        if runs and runs[-1][0] == direction:
            runs[-1] = (direction, runs[-1][1] + " " + hexes)
        else:
            runs.append((direction, hexes))
    return runs


def _saved_traffic(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    assert lines[0] == "# Corvane traffic 1", lines[:3]
    frames = []
    for line in lines:
        if line.startswith("#"):
            continue
        fields = line.split("\t")
        assert len(fields) == 8, line
        if fields[2] in ("TX", "RX"):
            frames.append((fields[2], fields[4]))
    return frames


def _sim_traffic(s, com):
    """The simulator's log from the program's side: what the simulator received was sent."""
    frames = []
    for line in s.sim_log(com).splitlines():
        parts = line.split(None, 3)
        if len(parts) == 4:
            frames.append(("TX" if parts[1] == "RX" else "RX", parts[3]))
    return frames


def view_and_save_traffic_of_both_families(s):
    tree = _start_with(s, [(3, ["--instrument", "k40p", "--pressure", "4.2"]),
                           (5, ["--instrument", "r70", "--pressure", "7.5"])])
    # Each row's view, opened from the Instrument menu with its row selected; the two are
    # laid one above the other, as a technician compares two instruments.
    places = {3: (0, 455, 1280, 440), 5: (0, 0, 1280, 450)}
    for com in (3, 5):
        subprocess.run(["xdotool", "windowraise", _window_id(s, "Corvane")], check=True)
        s.click_widget(s.find(name=str(com), root=tree))
        _menu_outside_traffic(s, "Instrument", "Traffic…")
        _place(s, "Traffic – COM%d" % com, *places[com])
    for com in (3, 5):
        _place(s, "Traffic – COM%d" % com, *places[com])
    time.sleep(2.0)
    s.screenshot("traffic-en")

    # Saved from each view, the traffic is what the simulator at the other end logged: the
    # same frames in the same order with the same bytes, from the first probe on.
    for com in (3, 5):
        window = _traffic_window(s, com)
        _place(s, "Traffic – COM%d" % com, *places[com])
        saved = os.path.join(s.out_dir, "traffic-com%d.txt" % com)
        # A file of an earlier run would pass for this run's save before it is written.
        if os.path.exists(saved):
            os.remove(saved)
        before = set(s.visible_windows())
        s.click_widget(s.find(name="Save…", role="push button", root=window))
        s.wait_for(lambda: set(s.visible_windows()) - before, 10, "save dialog")
        time.sleep(0.5)
        s.key("ctrl+a")
        s.type_text(saved)
        time.sleep(0.5)
        for _ in range(3):
            s.key("Return")
            time.sleep(1.0)
            if not set(s.visible_windows()) - before:
                break
        s.wait_for(lambda: os.path.exists(saved) and os.path.getsize(saved) > 0, 10,
                   "file %s written" % saved)
        view = _wire_runs(_saved_traffic(saved))
        sim = _wire_runs(_sim_traffic(s, com))
        assert len(view) >= 20, (com, len(view))
        assert len(sim) >= len(view), (com, len(sim), len(view))
        # The view was saved while the line ran on: the simulator logged more after it, and
        # a reply may have been on its way when the view last took frames.
        assert view[:-1] == sim[:len(view) - 1], (com, [
            (i, a, b) for i, (a, b) in enumerate(zip(view, sim)) if a != b][:3])
        last, there = view[-1], sim[len(view) - 1]
        assert last[0] == there[0] and there[1].startswith(last[1]), (com, last, there)
        # The first probe is the first frame; the K40 view shows the family's poll-mode reply.
        assert view[0][0] == "TX" and view[0][1].startswith("55 53 4F FF"), view[0]
        with open(saved, encoding="utf-8") as f:
            text = f.read()
        assert "detection, try 1 (R70)" in text, text[:1000]
        if com == 3:
            assert "detection, try 5 (K40)" in text and "Read pressure (PZ) = 4.2" in text
        else:
            assert "Read pressure (PZ) = 7.5" in text, text[-2000:]

    # Both views switch with the program's language.
    subprocess.run(["xdotool", "windowraise", _window_id(s, "Corvane")], check=True)
    _menu_outside_traffic(s, "Language", "Deutsch")
    for com in (3, 5):
        _place(s, "Datenverkehr – COM%d" % com, *places[com])
    time.sleep(1.5)
    s.screenshot("traffic-de")
    s.app_proc.terminate()
    s.app_proc.wait(timeout=15)


if __name__ == "__main__":
    ALL = [start_and_close, add_k40_and_r70_and_see_live_values, switch_language_and_rename_tag,
           adjust_zero_of_each_family, write_and_restore_communication_parameters,
           write_and_restore_r70_operating_parameters,
           log_both_and_save_csv_and_chart,
           pull_one_away_while_logging_then_close_unsaved,
           kill_while_logging_then_restore_and_save,
           add_a_simulator_through_the_ports_dialog,
           view_and_save_traffic_of_both_families]
    # Further arguments pick journeys by name, for a developer's quick rerun.
    chosen = [j for j in ALL if j.__name__ in sys.argv[2:]] or ALL
    sys.exit(harness.run(chosen, sys.argv[1]))
