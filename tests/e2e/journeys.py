"""Journeys a technician takes through the real program."""
import os
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

    add_port(3)
    add_port(5)

    # Both families detected: each row shows its range once the instrument is read.
    s.wait_for(lambda: len(_rows_with_range(s, tree)) >= 2, 30, "both instruments read")
    ranges = _rows_with_range(s, tree)
    assert any("16 bar" in r for r in ranges) or len(ranges) == 2, ranges

    # Live values: the simulators keep receiving requests.
    before = {c: _sim_frames(s, c) for c in (3, 5)}
    time.sleep(2.0)
    after = {c: _sim_frames(s, c) for c in (3, 5)}
    for c in (3, 5):
        assert after[c] > before[c] + 5, (c, before[c], after[c])
    s.screenshot("two-instruments")

    ini = s.read_settings()
    assert "Language=1" in ini, ini
    s.app_proc.terminate()
    s.app_proc.wait(timeout=15)


if __name__ == "__main__":
    sys.exit(harness.run([start_and_close, add_k40_and_r70_and_see_live_values], sys.argv[1]))
