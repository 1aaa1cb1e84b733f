#!/usr/bin/python3
"""Floods a serial device with Modbus RTU traffic, back to back with no gaps: a code-3 query to
unit 1 and its answer, again and again, as if a master and a slave shared the line at full
speed. On the virtual line the pacing sets the rate; unpaced, the line takes what it can.

    tools/frame_flood.py DEVICE [--seconds S] [--pairs P] [--registers N]

Ends after S seconds (default 10), or once P pairs are out, and prints
"frame_flood: P pairs, B bytes".
"""

import argparse
import os
import struct
import sys
import termios
import time
import tty


def crc16(frame):
    value = 0xFFFF
    for byte in frame:
        value ^= byte
        for _ in range(8):
            value = (value >> 1) ^ 0xA001 if value & 1 else value >> 1
    return frame + struct.pack("<H", value)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("device")
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--pairs", type=int, default=0, help="stop after this many pairs")
    parser.add_argument("--registers", type=int, default=100)
    args = parser.parse_args()
    if not 1 <= args.registers <= 125:
        parser.error("--registers takes 1 to 125")

    query = crc16(bytes([1, 3]) + struct.pack(">HH", 0, args.registers))
    words = b"".join(struct.pack(">H", 100 + a) for a in range(args.registers))
    answer = crc16(bytes([1, 3, 2 * args.registers]) + words)
    pair = query + answer

    fd = os.open(args.device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[2] &= ~termios.PARENB
    termios.tcsetattr(fd, termios.TCSANOW, attrs)

    pairs = 0
    written = 0
    end = time.monotonic() + args.seconds
    while time.monotonic() < end and (args.pairs == 0 or pairs < args.pairs):
        view = memoryview(pair)
        while view:
            count = os.write(fd, view)
            view = view[count:]
            written += count
        pairs += 1
    # Let what is queued leave the device before it closes.
    termios.tcdrain(fd)
    os.close(fd)
    print(f"frame_flood: {pairs} pairs, {written} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
