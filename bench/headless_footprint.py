#!/usr/bin/env python3
"""The background recorder's footprint and the station's handover times.

Runs `nimbrel --headless` on the simulated station (a record every five
minutes, polled every ten seconds as always) over a ten-year history of
five-minute records, and reports
  - its peak resident memory (VmHWM) over the whole run,
  - its CPU time while polling, as a share of one core, from the end of the
    first full read to the end of the run,
  - how long a window started on the folder waits for the station (its
    start to its naming the data folder, which it does once it holds the
    folder's lock), and how long the recorder takes to have the station
    back once the window has ended.

usage: bench/headless_footprint.py [BUILD_DIR] [--seconds N] [--handovers N]
Goals: memory <= 50 MB, CPU < 0.5 % of a core, window <= 3 s, back <= 5 s.
"""
import argparse
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time


_pending = {}


def wait_line(proc, pattern, timeout=120):
    """Reads a program's stderr until a line holds `pattern`."""
    fd = proc.stderr.fileno()
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        buffered = _pending.get(fd, b"")
        while b"\n" in buffered:
            line, buffered = buffered.split(b"\n", 1)
            _pending[fd] = buffered
            if pattern in line.decode():
                return time.monotonic(), line.decode()
        ready, _, _ = select.select([fd], [], [], 0.5)
        if ready:
            chunk = os.read(fd, 65536)
            if not chunk:
                raise RuntimeError("the program ended")
            _pending[fd] = buffered + chunk
    raise RuntimeError("no line with " + pattern)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_memory_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--seconds", type=int, default=600)
    parser.add_argument("--handovers", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    folder = tempfile.mkdtemp(prefix="nimbrel-footprint-")
    try:
        subprocess.run([f"{build}/nimbrel-tool", "gen-history", "--years", "10", "--period", "5",
                        "--end", "2026-06-20T12:00:00", os.path.join(folder, "datat")],
                       check=True, stdout=subprocess.DEVNULL)
        shutil.copy(f"{build}/linklib/sim/libUSB.so", folder)
        with open(os.path.join(folder, "stationsim.ini"), "w") as f:
            f.write("[station]\nattached=true\nperiod=1\nadvanceSeconds=300\n"
                    "start=2026-06-21T12:00:00\nstateFile=station.state\n")
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["USER"] = f"footprint-{os.getpid()}"
        recorder = subprocess.Popen([f"{build}/nimbrel", "--headless", "--data-dir", folder],
                                    cwd=folder, env=env, stderr=subprocess.PIPE)
        wait_line(recorder, "full read done")
        cpu_start, wall_start = cpu_seconds(recorder.pid), time.monotonic()
        time.sleep(args.seconds)
        cpu = (cpu_seconds(recorder.pid) - cpu_start) / (time.monotonic() - wall_start)

        window_env = dict(env, QT_QPA_PLATFORM="offscreen")
        to_window, to_recorder = [], []
        for _ in range(args.handovers):
            started = time.monotonic()
            window = subprocess.Popen([f"{build}/nimbrel", "--data-dir", folder], cwd=folder,
                                      env=window_env, stderr=subprocess.PIPE)
            wait_line(window, "nimbrel: data folder")
            to_window.append(time.monotonic() - started)
            wait_line(recorder, "station handed to the window")
            time.sleep(2)
            window.send_signal(signal.SIGTERM)
            window.wait()
            ended = time.monotonic()
            back, _ = wait_line(recorder, "station taken back")
            to_recorder.append(back - ended)
            wait_line(recorder, "full read done")
        memory = peak_memory_mb(recorder.pid)
        recorder.send_signal(signal.SIGTERM)
        recorder.wait()
        print(f"peak memory over a 10-year history: {memory:.1f} MB (goal <= 50)")
        print(f"CPU while polling over {args.seconds} s: {100 * cpu:.3f} % of a core (goal < 0.5)")
        print("window has the station after its start: max {:.2f} s, mean {:.2f} s (goal <= 3)".format(
            max(to_window), sum(to_window) / len(to_window)))
        print("recorder has it back after the window ended: max {:.2f} s, mean {:.2f} s (goal <= 5)".format(
            max(to_recorder), sum(to_recorder) / len(to_recorder)))
        return 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
