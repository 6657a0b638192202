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
    back once the window has ended,
  - the block reads each handover costs (the simulated station's
    exchangeLog; polls that only read the slot index are not counted),
  - under link faults (a share of the answers spoiled or lost), how long a
    window waits for the station while the recorder is in the middle of a
    full read: each round kills the window, which leaves no mirror, so the
    recorder reads the station in full, and the next window asks at once.

With --every-destination, nimbrel.ini turns every destination on, each
pointed at a local stand-in (a mosquitto of its own, one HTTP server that
answers every weather network, InfluxDB and the registration with success,
and an APRS-IS server that greets, verifies and takes the packets), so the
memory figure covers them all.

usage: bench/headless_footprint.py [BUILD_DIR] [--seconds N] [--handovers N]
                                   [--fault-rate R] [--fault-rounds N]
                                   [--every-destination]
Goals: memory <= 50 MB, CPU < 0.5 % of a core, window <= 3 s, back <= 5 s,
at most 8 block reads per handover, the station within 1 s of asking under
link faults (the window's start included).
"""
import argparse
import http.server
import os
import select
import shutil
import signal
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
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


def handover_reads(log_path, from_line):
    """Block reads in the exchange log from a line on, without the polls
    that read the slot index alone (address 224 not after 192)."""
    reads, polls, previous = 0, 0, -1
    with open(log_path) as f:
        lines = f.read().splitlines()[from_line:]
    for line in lines:
        words = line.split()
        if len(words) < 3 or words[1] != "read":
            continue
        address = int(words[2])
        reads += 1
        if address == 224 and previous != 192:
            polls += 1
        previous = address
    return reads - polls, len(lines) + from_line


def line_count(path):
    try:
        with open(path) as f:
            return sum(1 for _ in f)
    except FileNotFoundError:
        return 0


def done_with(proc):
    """Forgets what was read of a program that has ended."""
    _pending.pop(proc.stderr.fileno(), None)
    proc.stderr.close()


def wait_line_any(proc, patterns, timeout=300):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        at, line = wait_line(proc, "nimbrel:", max(1, end - time.monotonic()))
        if any(p in line for p in patterns):
            return at, line
    raise RuntimeError("no line with " + " or ".join(patterns))


class AnyService(http.server.BaseHTTPRequestHandler):
    """Answers every weather network, InfluxDB and a registration alike."""

    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        if self.path.startswith("/write") or self.path.startswith("/api/v2/write"):
            self.send_response(204)
            self.end_headers()
            return
        body = b'{"ID": "5ed2118acc11ae0001f4a8ad", "status": "success", "code": 200}'
        if "awekas" in self.path or "weathercloud" in self.path or "/up" in self.path:
            body = b"success"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_GET = answer
    do_POST = answer

    def log_message(self, *args):
        pass


class Aprs(socketserver.StreamRequestHandler):
    def handle(self):
        self.wfile.write(b"# aprsc stand-in\r\n")
        login = self.rfile.readline()
        call = login.split()[1] if len(login.split()) > 1 else b"N0CALL"
        self.wfile.write(b"# logresp " + call + b" unverified, server STANDIN\r\n")
        for _ in self.rfile:
            pass


def serve(handler, server_class):
    server = server_class(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, server.server_address[1]


def every_destination(folder):
    """Writes nimbrel.ini with every destination on; returns what to stop."""
    http_server, http_port = serve(AnyService, http.server.ThreadingHTTPServer)
    aprs_server, aprs_port = serve(Aprs, socketserver.ThreadingTCPServer)
    def free_port():
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()
        return port
    mqtt_port, web_port = free_port(), free_port()
    with open(os.path.join(folder, "mosquitto.conf"), "w") as f:
        f.write(f"listener {mqtt_port} 127.0.0.1\nallow_anonymous true\npersistence false\n")
    broker = subprocess.Popen(["mosquitto", "-c", os.path.join(folder, "mosquitto.conf")],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    base = f"http://127.0.0.1:{http_port}"
    with open(os.path.join(folder, "nimbrel.ini"), "w") as f:
        f.write(f"""[mqtt]\nenabled=true\nhost=127.0.0.1\nport={mqtt_port}\n
[upload]\nenabled=true\nurl={base}/up\nstationId=IFOOT1\nkey=k\n
[web]\nenabled=true\nport={web_port}\n
[cwop]\nenabled=true\nstationId=EW1234\nserver=127.0.0.1\nport={aprs_port}\n
[wow]\nenabled=true\nurl={base}/wow\nsiteId=12345678\nkey=123456\n
[awekas]\nenabled=true\nurl={base}/awekas\nuser=foot\npassword=pw\n
[windy]\nenabled=true\nurl={base}/windy\nstationId=f1a2b3c4\npassword=pw\n
[pwsweather]\nenabled=true\nurl={base}/pwsweather\nstationId=FOOT1\nkey=k\n
[weathercloud]\nenabled=true\nurl={base}/weathercloud\nstationId=0123456789\nkey=0123456789abcdef0123456789abcdef\n
[openweathermap]\nenabled=true\nurl={base}/owm\nkey=0123456789abcdef0123456789abcdef\n
[influxdb]\nenabled=true\nurl={base}\ndatabase=weather\n""")

    def stop():
        broker.terminate()
        broker.wait()
        http_server.shutdown()
        aprs_server.shutdown()
    return stop


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--seconds", type=int, default=600)
    parser.add_argument("--handovers", type=int, default=5)
    parser.add_argument("--fault-rate", type=float, default=0.1)
    parser.add_argument("--fault-rounds", type=int, default=5)
    parser.add_argument("--every-destination", action="store_true")
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
                    "start=2026-06-21T12:00:00\nstateFile=station.state\nexchangeLog=exchange.log\n")
        exchange_log = os.path.join(folder, "exchange.log")
        stop_destinations = every_destination(folder) if args.every_destination else None
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
        to_window, to_recorder, reads_per_handover = [], [], []
        for _ in range(args.handovers):
            log_line = line_count(exchange_log)
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
            done_with(window)
            back, _ = wait_line(recorder, "station taken back")
            to_recorder.append(back - ended)
            wait_line_any(recorder, ("full read done", "read carried on from the handover"))
            reads, _ = handover_reads(exchange_log, log_line)
            reads_per_handover.append(reads / 2)  # the window's take and the take back
        memory = peak_memory_mb(recorder.pid)
        recorder.send_signal(signal.SIGTERM)
        recorder.wait()
        done_with(recorder)

        # Under link faults, each window asks while the recorder reads the
        # station in full (the window before was killed and left no mirror).
        with open(os.path.join(folder, "stationsim.ini"), "a") as f:
            f.write(f"[faults]\nrate={args.fault_rate}\n")
        recorder = subprocess.Popen([f"{build}/nimbrel", "--headless", "--data-dir", folder],
                                    cwd=folder, env=env, stderr=subprocess.PIPE)
        wait_line(recorder, "station connected")
        under_faults = []
        for _ in range(args.fault_rounds):
            # The recorder has just begun a full read (it took the station,
            # with no mirror to carry on from).
            time.sleep(1.5)
            started = time.monotonic()
            window = subprocess.Popen([f"{build}/nimbrel", "--data-dir", folder], cwd=folder,
                                      env=window_env, stderr=subprocess.PIPE)
            wait_line(window, "nimbrel: data folder", 60)
            under_faults.append(time.monotonic() - started)
            # The window's request did meet a running full read.
            wait_line(recorder, "full read stopped before its end")
            wait_line(recorder, "station handed to the window")
            window.kill()
            window.wait()
            done_with(window)
            wait_line(recorder, "station taken back", 60)
        recorder.send_signal(signal.SIGTERM)
        recorder.wait()
        if stop_destinations:
            stop_destinations()
        every = " with every destination on" if args.every_destination else ""
        print(f"peak memory over a 10-year history{every}: {memory:.1f} MB (goal <= 50)")
        print(f"CPU while polling over {args.seconds} s: {100 * cpu:.3f} % of a core (goal < 0.5)")
        print("window has the station after its start: max {:.2f} s, mean {:.2f} s (goal <= 3)".format(
            max(to_window), sum(to_window) / len(to_window)))
        print("recorder has it back after the window ended: max {:.2f} s, mean {:.2f} s (goal <= 5)".format(
            max(to_recorder), sum(to_recorder) / len(to_recorder)))
        print("block reads per handover: max {:.1f}, mean {:.1f} (goal <= 8)".format(
            max(reads_per_handover), sum(reads_per_handover) / len(reads_per_handover)))
        under_faults.sort()
        print("window has the station during a full read under {:.0f} % faults: median {:.2f} s, max {:.2f} s "
              "(goal <= 1)".format(100 * args.fault_rate, under_faults[len(under_faults) // 2], max(under_faults)))
        return 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
