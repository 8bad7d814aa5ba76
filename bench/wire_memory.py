#!/usr/bin/env python3
"""Resident memory of the programs on the wire, measured on this machine in one run.

  python3 bench/wire_memory.py BUILD_DIR

1. `kmr record --interface prologix:...` against an adapter that, once asked to read, streams
   bytes without end and never answers "++ver" again: the peak resident memory of `kmr` (VmHWM)
   until it gives up (or 40 s have passed).
2. `kmr-sim` before and after two million "VER" data lines from one client.
"""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time


def status_kb(pid, key):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def streaming_adapter(listener, stop):
    """Answers the set-up like an adapter with an instrument behind it ("++spoll", "++ver"); from
    the first "++read" on it streams noise for ever and answers nothing else."""
    chunk = bytes((i * 37) % 251 + 5 for i in range(65536))  # never the EOI marker byte 4
    while not stop.is_set():
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            continue
        conn.settimeout(0.2)
        pending = b""
        streaming = False
        try:
            while not stop.is_set():
                if streaming:
                    conn.sendall(chunk)
                    continue
                try:
                    data = conn.recv(4096)
                except socket.timeout:
                    continue
                if not data:
                    break
                pending += data
                while b"\n" in pending and not streaming:
                    line, pending = pending.split(b"\n", 1)
                    if line.startswith(b"++spoll"):
                        conn.sendall(b"0\r\n")
                    elif line.startswith(b"++ver"):
                        conn.sendall(b"STREAMING ADAPTER 1\r\n")
                    elif line == b"++read" or line.startswith(b"++read "):
                        streaming = True
                        conn.settimeout(5)  # a client that reads slowly is still served
        except OSError:
            pass
        conn.close()


def record_against_streaming_adapter(build):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    listener.settimeout(0.2)
    port = listener.getsockname()[1]
    stop = threading.Event()
    thread = threading.Thread(target=streaming_adapter, args=(listener, stop), daemon=True)
    thread.start()
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, XDG_CONFIG_HOME=home + "/config", XDG_DOCUMENTS_DIR=home + "/docs",
                   HOME=home, LANG="C")
        start = time.monotonic()
        p = subprocess.Popen([os.path.join(build, "kmr"), "record", "--interface",
                              f"prologix:127.0.0.1:{port}"], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        peak = 0
        while p.poll() is None and time.monotonic() - start < 40:
            peak = max(peak, status_kb(p.pid, "VmHWM"))
            time.sleep(0.05)
        peak = max(peak, status_kb(p.pid, "VmHWM"))
        if p.poll() is None:
            p.kill()
        p.wait()
        took = time.monotonic() - start
    stop.set()
    thread.join()
    return peak, p.returncode, took


def kmr_sim_after_commands(build, count):
    p = subprocess.Popen([os.path.join(build, "kmr-sim"), "--listen", "127.0.0.1:0",
                          "sim:time=instant"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         text=True)
    first = p.stdout.readline()
    port = int(first.split("listening on 127.0.0.1:")[1].split()[0])
    s = socket.create_connection(("127.0.0.1", port))

    def ask_version():
        s.sendall(b"++ver\n")
        got = b""
        while not got.endswith(b"\r\n"):
            got += s.recv(4096)

    ask_version()
    before = status_kb(p.pid, "VmRSS")
    block = b"VER\n" * 10000
    for _ in range(count // 10000):
        s.sendall(block)
    ask_version()  # answered only once every line before it has been handled
    after = status_kb(p.pid, "VmRSS")
    s.close()
    p.terminate()
    p.wait()
    return before, after


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    peak, rc, took = record_against_streaming_adapter(build)
    print(f"kmr record against a streaming adapter: peak resident {peak / 1024:.1f} MB, "
          f"exit {rc} after {took:.1f} s")
    before, after = kmr_sim_after_commands(build, 2_000_000)
    print(f"kmr-sim resident: {before / 1024:.1f} MB at start, {after / 1024:.1f} MB after "
          f"2000000 VER lines ({(after - before) / 1024:+.1f} MB)")


if __name__ == "__main__":
    main()
