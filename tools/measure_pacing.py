#!/usr/bin/python3
"""Measures the byte rate of the virtual line: one peer writes a block at once, another peer
timestamps what arrives, and the rate between the first and the last byte is set against the
rate the line should keep (baud / bits per character).

    tools/measure_pacing.py BUILD/quillon-vbus [--baud B] [--format 8N1] [--bytes N]
                            [--unpaced]

Prints one line: line setting, bytes, seconds, measured and expected bytes per second and
the deviation. This is a measurement, not a test: it takes real time and the figures depend on
the machine.
"""

import argparse
import os
import select
import subprocess
import sys
import tempfile
import termios
import threading
import time


def bits_per_character(fmt):
    data, parity, stop = int(fmt[0]), fmt[1].upper(), int(fmt[2])
    return 1 + data + (0 if parity == "N" else 1) + stop


def write_all(fd, data):
    view = memoryview(data)
    while view:
        view = view[os.write(fd, view):]


def wait_for(path, seconds):
    deadline = time.monotonic() + seconds
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise TimeoutError(f"{path} did not appear")
        time.sleep(0.01)


def measure(args):
    with tempfile.TemporaryDirectory() as folder:
        names_file = os.path.join(folder, "names")
        command = [args.vbus, "--peers", "2", "--names", names_file, "--verbose"]
        command += ["--unpaced"] if args.unpaced else ["--baud", str(args.baud), "--format",
                                                       args.format]
        bus = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               text=True)
        try:
            wait_for(names_file, 5)
            with open(names_file) as f:
                writer_name, reader_name = f.read().split()
            reader = os.open(reader_name, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
            if not args.unpaced:
                # The line hands a reader what its UART would hear at the reader's own rate.
                mode = termios.tcgetattr(reader)
                mode[4] = mode[5] = getattr(termios, f"B{args.baud}")
                termios.tcsetattr(reader, termios.TCSANOW, mode)
            # The line looks at closed peers every few milliseconds; wait until it has seen
            # the reader attach, or the first bytes would pass it by.
            while "attached" not in bus.stderr.readline():
                pass
            writer = os.open(writer_name, os.O_WRONLY | os.O_NOCTTY)
            block = bytes(i % 256 for i in range(args.bytes))
            # The write blocks while the line holds the writer back, so it runs beside the
            # reader rather than before it.
            sender = threading.Thread(target=write_all, args=(writer, block))
            started = time.monotonic()
            sender.start()
            first = last = None
            received = 0
            while received < args.bytes and time.monotonic() - started < args.limit:
                ready, _, _ = select.select([reader], [], [], 0.5)
                if not ready:
                    continue
                chunk = os.read(reader, 4096)
                now = time.monotonic()
                if chunk and first is None:
                    first = now
                received += len(chunk)
                last = now
            sender.join()
            os.close(writer)
            os.close(reader)
        finally:
            bus.terminate()
            bus.wait(5)

    if received < args.bytes or first is None or last == first:
        print(f"only {received} of {args.bytes} bytes arrived", file=sys.stderr)
        return 1
    span = last - first
    measured = (received - 1) / span
    setting = "unpaced" if args.unpaced else f"{args.baud} {args.format}"
    line = (f"{setting}: {received} bytes in {span:.4f} s, {measured:.1f} bytes/s, "
            f"first byte after {1000 * (first - started):.2f} ms")
    if not args.unpaced:
        expected = args.baud / bits_per_character(args.format)
        deviation = 100 * (measured - expected) / expected
        line += f", expected {expected:.1f} bytes/s ({deviation:+.2f} %)"
    print(line)
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description="measure the byte rate of the virtual line")
    parser.add_argument("vbus", help="path of the quillon-vbus program")
    parser.add_argument("--baud", type=int, default=9600)
    parser.add_argument("--format", default="8N1")
    parser.add_argument("--bytes", type=int, default=2000)
    parser.add_argument("--unpaced", action="store_true")
    parser.add_argument("--limit", type=float, default=60, help="give up after this many s")
    return measure(parser.parse_args(argv))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
