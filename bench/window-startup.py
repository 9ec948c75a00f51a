#!/usr/bin/python3
"""Time from starting `quorvex FILE` to its window being mapped, under Xvfb.

    bench/window-startup.py [--runs 7] [--program build/bin/quorvex]

Starts a private Xvfb, watches the root window for the main window's
MapNotify and prints the median and the spread over the runs. The first
run, with cold caches, is reported apart.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay

CAPTION = "Encrypt/Decrypt file."


def free_display_number():
    for number in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
            return number
    raise SystemExit("no free X display number")


def window_name(window):
    try:
        name = window.get_wm_name()
        if name:
            return name if isinstance(name, str) else name.decode("latin-1")
        prop = window.get_full_property(window.display.intern_atom("_NET_WM_NAME"), X.AnyPropertyType)
        return prop.value.decode("utf-8") if prop else ""
    except Exception:
        return ""


def time_one_start(conn, program, file, env):
    root = conn.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    conn.sync()
    started = time.monotonic()
    process = subprocess.Popen([program, file], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = started + 20
        while time.monotonic() < deadline:
            while conn.pending_events():
                event = conn.next_event()
                if event.type == X.MapNotify and window_name(event.window) == CAPTION:
                    return time.monotonic() - started
            time.sleep(0.0005)
        raise SystemExit("the window did not appear within 20 s")
    finally:
        process.kill()
        process.wait()


def main():
    parser = argparse.ArgumentParser()
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--program", default=os.path.join(repo, "build", "bin", "quorvex"))
    args = parser.parse_args()

    number = free_display_number()
    server = subprocess.Popen(["Xvfb", f":{number}", "-noreset", "-screen", "0", "1280x800x24"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="quorvex-startup-")
    try:
        for _ in range(200):
            if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                break
            time.sleep(0.02)
        conn = xdisplay.Display(f":{number}")
        file = os.path.join(work, "report with blanks.doc")
        with open(file, "wb") as out:
            out.write(b"x" * 4096)
        env = dict(os.environ, DISPLAY=f":{number}", QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_DATA_HOME=os.path.join(work, "data"))
        env.pop("WAYLAND_DISPLAY", None)

        first = time_one_start(conn, args.program, file, env)
        times = [time_one_start(conn, args.program, file, env) for _ in range(args.runs)]
        print(f"Window start-up under Xvfb (start of `quorvex FILE` to the window mapped):")
        print(f"  first run {first:.3f} s; then median {statistics.median(times):.3f} s "
              f"(min {min(times):.3f}, max {max(times):.3f}) over {len(times)} runs")
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
