#!/usr/bin/env python3
"""The background recorder's memory while its web page is abused on loopback.

Starts `nimbrel --headless` on the simulated station with the web page on,
once per attack, and reports its resident memory (VmRSS now, VmHWM the peak)
before, during and after:
  - header: one request whose header line grows to 200 MB, sent as fast as
    the server takes it;
  - body:   one request with a 300 MB body (Content-Length), sent likewise;
  - idle:   5,000 connections opened and left silent; how many the server
            still holds after --idle-wait seconds, and its memory once they
            are closed.
Every attack is bounded in bytes and in time (--limit seconds each); only
127.0.0.1 is ever contacted.

usage: bench/web_server_bench_abuse.py [BUILD_DIR] [--program NIMBREL] [--only header|body|idle]
"""
import argparse
import errno
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

MB = 1024 * 1024


def status(pid):
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(("VmRSS:", "VmHWM:")):
                out[line.split(":")[0]] = int(line.split()[1]) / 1024
    return out


def sockets(pid):
    """How many sockets the process holds open."""
    count = 0
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            count += os.readlink(f"/proc/{pid}/fd/{fd}").startswith("socket:")
        except OSError:
            pass
    return count


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_line(proc, pattern, timeout=60):
    fd = proc.stderr.fileno()
    end = time.monotonic() + timeout
    data = b""
    while time.monotonic() < end:
        ready, _, _ = select.select([fd], [], [], 0.5)
        if ready:
            chunk = os.read(fd, 65536)
            if not chunk:
                raise RuntimeError("the program ended:\n" + data.decode(errors="replace"))
            data += chunk
            if pattern.encode() in data:
                return
    raise RuntimeError("no line with " + pattern)


class Recorder:
    def __init__(self, program, linklib):
        self.folder = tempfile.mkdtemp(prefix="nimbrel-abuse-")
        shutil.copy(linklib, self.folder)
        with open(os.path.join(self.folder, "stationsim.ini"), "w") as f:
            f.write("[station]\nattached=true\nperiod=1\nadvanceSeconds=300\nstart=2026-06-21T12:00:00\n")
        self.port = free_port()
        with open(os.path.join(self.folder, "nimbrel.ini"), "w") as f:
            f.write(f"[web]\nenabled=true\nport={self.port}\nbind=127.0.0.1\n")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["USER"] = f"abuse-{os.getpid()}"
        self.proc = None
        try:
            self.proc = subprocess.Popen([program, "--headless", "--data-dir", self.folder], cwd=self.folder,
                                         env=env, stderr=subprocess.PIPE)
            wait_line(self.proc, "web page is at")
            wait_line(self.proc, "full read done", timeout=180)
        except BaseException:
            self.stop()
            raise

    def memory(self):
        return status(self.proc.pid)

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        if self.proc and self.alive():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def flood(port, head, total, limit):
    """Sends `head`, then filler until `total` bytes, the server closes, or
    `limit` seconds pass; returns (bytes taken, first line of the answer)."""
    s = socket.create_connection(("127.0.0.1", port))
    s.setblocking(False)
    sent, answer = 0, b""
    chunk = b"a" * MB
    pending = head
    end = time.monotonic() + limit
    while sent < total and time.monotonic() < end:
        readable, writable, _ = select.select([s], [s], [], 0.5)
        if readable:
            try:
                got = s.recv(65536)
            except OSError:
                got = b""
            answer += got
            if not got:
                break
        if writable:
            if not pending:
                pending = chunk[: min(MB, total - sent)]
            try:
                n = s.send(pending)
            except OSError as e:
                if e.errno in (errno.EAGAIN, errno.EWOULDBLOCK):
                    continue
                break
            sent += n
            pending = pending[n:]
    s.setblocking(True)
    s.settimeout(5)
    try:
        while b"\r\n" not in answer:
            got = s.recv(65536)
            if not got:
                break
            answer += got
    except OSError:
        pass
    s.close()
    return sent, answer.split(b"\r\n", 1)[0].decode(errors="replace") or "(no answer)"


def idle(recorder, count, wait):
    """Opens `count` silent connections and leaves them; returns them and
    the sockets the recorder holds 2 s after the last was opened (its peak)
    and after `wait` seconds."""
    base = sockets(recorder.proc.pid)
    held = []
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", recorder.port))
        held.append(s)
    time.sleep(2)
    early = sockets(recorder.proc.pid) - base
    time.sleep(max(wait - 2, 0))
    return held, early, sockets(recorder.proc.pid) - base


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--program", help="the nimbrel to measure (default BUILD_DIR/nimbrel)")
    parser.add_argument("--only", choices=["header", "body", "idle"])
    parser.add_argument("--limit", type=float, default=90, help="seconds at most per attack")
    parser.add_argument("--idle-wait", type=float, default=20)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    program = os.path.abspath(args.program or f"{build}/nimbrel")
    linklib = f"{build}/linklib/sim/libUSB.so"

    attacks = {
        "header": lambda port: flood(port, b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Long: ", 200 * MB, args.limit),
        "body": lambda port: flood(port, b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 300000000\r\n\r\n",
                                   300 * MB, args.limit),
    }
    for name in ["header", "body", "idle"]:
        if args.only and args.only != name:
            continue
        recorder = Recorder(program, linklib)
        try:
            before = recorder.memory()
            if name == "idle":
                held, early, still = idle(recorder, 5000, args.idle_wait)
                during = recorder.memory()
                for s in held:
                    s.close()
                time.sleep(2)
                after = recorder.memory()
                print(f"idle: 5000 opened; the recorder holds {early} of them after 2 s, "
                      f"{still} after {args.idle_wait:.0f} s; "
                      f"RSS {before['VmRSS']:.1f} MB before, {during['VmRSS']:.1f} MB while held, "
                      f"{after['VmRSS']:.1f} MB after closing; peak {after['VmHWM']:.1f} MB")
            else:
                sent, answer = attacks[name](recorder.port)
                after = recorder.memory()
                print(f"{name}: {sent / MB:.1f} MB taken, answer \"{answer}\"; "
                      f"RSS {before['VmRSS']:.1f} MB before, {after['VmRSS']:.1f} MB after; peak {after['VmHWM']:.1f} MB")
            if not recorder.alive():
                print(f"{name}: the recorder died")
        finally:
            recorder.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
