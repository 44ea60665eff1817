"""Times one run of QVUpdater.exe from outside, on the Linux side, so that the watching takes
nothing from the Wine server that the updater needs: starts "wine QVUpdater.exe" in the
installation's folder, looks at the files every millisecond with stat, and waits for the
process to end and for the product that the update starts to leave its marker file.

Usage: time_updater.py <folder> <request-log> <first-file> <marker>
       time_updater.py start <folder> <program> <marker>
  folder        the installation, with QVUpdater.exe and its testmode file
  request-log   the file that the update server appends each request to
  first-file    an entry of the update, relative to the folder: its ".tmp" appearing marks the
                end of the download and the unpacking
  marker        the file that the started product writes, relative to the folder

Prints name=value lines: total_s (start to the later of the process's end and the marker),
startup_s (to the request), receive_s (request to the first ".tmp": download, unpacking,
parsing, checks), files_s (first ".tmp" to the marker: the files and the product's start),
peak_mib (the largest resident size of the process), and ended_s and marker_s (start to the
process's end and to the marker).

With "start", times the start of another program the same way: "wine <program> 1" in the folder,
to the marker that it writes; prints start_s. The updater pays such a start twice, its own and
the product's.
"""
import os
import resource
import subprocess
import sys
import time

TIMEOUT = 900


def on_wine_cpu():
    """Keeps the program on the CPU of Wine's server when the benchmark pins it (QV_WINE_CPU)."""
    cpu = os.environ.get("QV_WINE_CPU")
    if cpu is not None:
        os.sched_setaffinity(0, {int(cpu)})


def time_start(folder, program, marker):
    marker = os.path.join(folder, marker)
    start = time.monotonic()
    process = subprocess.Popen(["wine", program, "1"], cwd=folder, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=on_wine_cpu)
    while time.monotonic() - start < TIMEOUT and not os.path.exists(marker):
        time.sleep(0.001)
    seconds = time.monotonic() - start
    process.wait()
    if not os.path.exists(marker):
        print("%s did not write %s" % (program, marker))
        return 1
    print("start_s=%.4f" % seconds)
    return 0


def main():
    if sys.argv[1] == "start":
        return time_start(*sys.argv[2:5])
    folder, request_log, first_file, marker = sys.argv[1:5]
    first_tmp = os.path.join(folder, first_file.replace("\\", "/") + ".tmp")
    marker = os.path.join(folder, marker)
    requests_before = os.path.getsize(request_log) if os.path.exists(request_log) else 0
    start = time.monotonic()
    process = subprocess.Popen(["wine", "QVUpdater.exe"], cwd=folder, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=on_wine_cpu)
    at = {}
    ended = None
    while time.monotonic() - start < TIMEOUT:
        now = time.monotonic()
        if "request" not in at and os.path.exists(request_log) and os.path.getsize(request_log) > requests_before:
            at["request"] = now
        if "tmp" not in at and os.path.exists(first_tmp):
            at["tmp"] = now
        if "marker" not in at and os.path.exists(marker):
            at["marker"] = now
        if ended is None and process.poll() is not None:
            ended = now
        if ended is not None and ("marker" in at or now - ended > 5):
            break
        time.sleep(0.001)
    if process.poll() is None:
        process.kill()
        process.wait()
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0
    if "marker" not in at or ended is None:
        print("the update did not go through (marker %s, process ended %s)" % ("marker" in at, ended is not None))
        return 1
    request = at.get("request", start)
    tmp = at.get("tmp", request)
    print("total_s=%.4f" % (max(ended, at["marker"]) - start))
    print("startup_s=%.4f" % (request - start))
    print("receive_s=%.4f" % (tmp - request))
    print("files_s=%.4f" % (at["marker"] - tmp))
    print("peak_mib=%.1f" % peak)
    print("ended_s=%.4f" % (ended - start))
    print("marker_s=%.4f" % (at["marker"] - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
