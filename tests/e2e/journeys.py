"""Journeys a technician takes through the real program."""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402


def start_and_close(s):
    s.start_app()
    frame = s.wait_find(role="frame", name="Corvane", contains=True)
    assert frame is not None
    s.screenshot("main-window")
    s.app_proc.terminate()
    s.app_proc.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(harness.run([start_and_close], sys.argv[1]))
