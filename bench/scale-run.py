#!/usr/bin/env python3
"""One measured run of tabulon-batch for bench/scale.sh.

    scale-run.py MAX_LINES -- COMMAND...

Starts COMMAND with its standard output on a pipe (as `tabulon-batch ... | tee`
would have it), stamps every line as it arrives, and ends the run with SIGTERM
once MAX_LINES lines have come (0: let it finish). Meanwhile it samples, four
times a second, the program's own peak resident memory (VmHWM of its own
process, offices not included) and the resident memory of the offices it
started. Prints one line of key=value figures.
"""
import os
import signal
import subprocess
import sys
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


def descendants(pid):
    children = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/children") as f:
                children += [int(c) for c in f.read().split()]
    except OSError:
        return []
    found = list(children)
    for child in children:
        found += descendants(child)
    return found


def office_rss_kb(pid):
    total = 0
    for child in descendants(pid):
        try:
            with open(f"/proc/{child}/comm") as f:
                if not f.read().startswith("soffice"):
                    continue
        except OSError:
            continue
        total += status_kb(child, "VmRSS")
    return total


def main():
    max_lines = int(sys.argv[1])
    command = sys.argv[sys.argv.index("--") + 1:]
    start = time.monotonic()
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    figures = {"own_peak_kb": 0, "office_peak_kb": 0, "office_last_kb": 0}
    done = threading.Event()

    def sample():
        while not done.is_set():
            hwm = status_kb(proc.pid, "VmHWM")
            if hwm:
                figures["own_peak_kb"] = max(figures["own_peak_kb"], hwm)
            office = office_rss_kb(proc.pid)
            if office:
                figures["office_peak_kb"] = max(figures["office_peak_kb"], office)
                figures["office_last_kb"] = office
            done.wait(0.25)

    sampler = threading.Thread(target=sample)
    sampler.start()
    errors = []
    reader = threading.Thread(target=lambda: errors.append(proc.stderr.read()))
    reader.start()
    lines = 0
    first = last = None
    stopped = False
    for _ in iter(proc.stdout.readline, b""):
        now = time.monotonic() - start
        lines += 1
        if first is None:
            first = now
        last = now
        if max_lines and lines >= max_lines and not stopped:
            proc.send_signal(signal.SIGTERM)
            stopped = True
    proc.wait()
    wall = time.monotonic() - start
    done.set()
    sampler.join()
    reader.join()
    rate = (lines - 1) / (last - first) if lines > 1 and last > first else 0.0
    tail = errors[0].decode(errors="replace").strip().splitlines()[-1:] if errors and errors[0] else []
    print(f"first_line_s={first if first is not None else -1:.2f} lines={lines} wall_s={wall:.2f} "
          f"files_per_s={rate:.2f} own_peak_mb={figures['own_peak_kb'] / 1024:.1f} "
          f"office_peak_mb={figures['office_peak_kb'] / 1024:.1f} office_last_mb={figures['office_last_kb'] / 1024:.1f} "
          f"exit={proc.returncode} count={'|'.join(tail).replace(' ', '_')}")


if __name__ == "__main__":
    main()
