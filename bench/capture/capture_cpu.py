#!/usr/bin/env python3
"""CPU time of the capture path beside parecord, in one run.

Starts a private audio server, loads a pipe source, feeds it SECONDS of audio
at real time, and meanwhile records that source twice: with
capture_cpu_driver (the engine delivering to an empty handler) and with
parecord to /dev/null. Prints both processes' CPU time (user + system, all
threads, from wait4) and the ratio. Goal: ratio <= 1.5.

  capture_cpu.py BUILD_DIR [SECONDS=60] [RATE=44100] [CHANNELS=2]
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))
source_dir = os.path.abspath(os.path.join(here, "..", ".."))
build_dir = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(source_dir, "build")
seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
rate = int(sys.argv[3]) if len(sys.argv) > 3 else 44100
channels = int(sys.argv[4]) if len(sys.argv) > 4 else 2
driver = os.path.join(build_dir, "bench", "capture", "capture_cpu_driver")
script = os.path.join(source_dir, "scripts", "pulse-private.sh")


def cpu_of(process):
    """Waits for the process; returns user + system seconds of all its threads."""
    _, _, usage = os.wait4(process.pid, 0)
    process.returncode = 0
    return usage.ru_utime + usage.ru_stime


def feed(fifo, stop):
    """Writes a non-silent pattern at real time, 4 kB at a time."""
    bytes_per_second = rate * channels * 2
    chunk = bytes(((i * 37) % 251) for i in range(4096))
    start = time.monotonic()
    sent = 0
    with open(fifo, "wb", buffering=0) as pipe:
        while not stop.is_set():
            pipe.write(chunk)
            sent += len(chunk)
            delay = start + sent / bytes_per_second - time.monotonic()
            if delay > 0:
                time.sleep(delay)


def main():
    state = tempfile.mkdtemp(prefix="tamblin-bench.")
    out = subprocess.run([script, "start", state], check=True, capture_output=True, text=True)
    os.environ["PULSE_SERVER"] = out.stdout.strip().split("=", 1)[1]
    fifo = os.path.join(state, "bench.fifo")
    name = "tamblin_bench_%d" % os.getpid()
    module = subprocess.run(
        ["pactl", "load-module", "module-pipe-source", "source_name=" + name, "file=" + fifo,
         "format=s16le", "rate=%d" % rate, "channels=%d" % channels,
         "source_properties=device.description=Bench-Pipe"],
        check=True, capture_output=True, text=True).stdout.strip()
    stop = threading.Event()
    feeder = threading.Thread(target=feed, args=(fifo, stop))
    try:
        feeder.start()
        ours = subprocess.Popen([driver, "Bench-Pipe", str(rate), str(channels), str(seconds)],
                                stdout=subprocess.PIPE, text=True)
        reference = subprocess.Popen(
            ["parecord", "--raw", "--format=s16le", "--rate=%d" % rate,
             "--channels=%d" % channels, "-d", name, "/dev/null"])
        time.sleep(seconds)
        reference.send_signal(signal.SIGINT)
        reference_cpu = cpu_of(reference)
        our_output = ours.stdout.read()
        our_cpu = cpu_of(ours)
        print("capture path (%d s, %d Hz, %d ch): %s" % (seconds, rate, channels, our_output.strip()))
        print("engine CPU   %.3f s" % our_cpu)
        print("parecord CPU %.3f s" % reference_cpu)
        print("ratio        %.2f (goal <= 1.5)" % (our_cpu / reference_cpu if reference_cpu else float("inf")))
    finally:
        stop.set()
        subprocess.run(["pactl", "unload-module", module], capture_output=True)
        feeder.join()
        subprocess.run([script, "stop", state])
        subprocess.run(["rm", "-rf", state])


if __name__ == "__main__":
    main()
