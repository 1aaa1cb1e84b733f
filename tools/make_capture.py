#!/usr/bin/env python3
"""Writes a capture log file (.mlog) of N frames of mixed Modbus RTU traffic.

    tools/make_capture.py OUT.mlog [--frames N] [--seed S]

Polls of several nodes with their answers (read coils, inputs and registers, writes, a
diagnostic), exception answers, and about one frame in a hundred with a damaged CRC. Frames are
2 ms apart; the timestamps are local time texts as the monitor writes them. For benchmarks of
the export and import paths.
"""
import argparse
import random
import time


def crc(body: bytes) -> bytes:
    w = 0xFFFF
    for b in body:
        w ^= b
        for _ in range(8):
            w = (w >> 1) ^ 0xA001 if w & 1 else w >> 1
    return body + bytes([w & 0xFF, w >> 8])


def exchange(rng: random.Random):
    """One query and its answer."""
    node = rng.randint(1, 12)
    kind = rng.randrange(8)
    address = rng.randrange(0, 200)
    if kind <= 2:  # read holding or input registers, the bulk of real traffic
        code = 3 if kind < 2 else 4
        count = rng.randint(1, 40)
        query = bytes([node, code, address >> 8, address & 0xFF, 0, count])
        data = bytes(rng.randrange(256) for _ in range(2 * count))
        return query, bytes([node, code, 2 * count]) + data
    if kind == 3:  # read coils
        count = rng.randint(1, 64)
        query = bytes([node, 1, 0, address & 0xFF, 0, count])
        size = (count + 7) // 8
        return query, bytes([node, 1, size]) + bytes(rng.randrange(256) for _ in range(size))
    if kind == 4:  # write single register, echoed
        query = bytes([node, 6, 0, address & 0xFF, rng.randrange(256), rng.randrange(256)])
        return query, query
    if kind == 5:  # write multiple registers
        count = rng.randint(1, 10)
        query = bytes([node, 16, 0, address & 0xFF, 0, count, 2 * count])
        query += bytes(rng.randrange(256) for _ in range(2 * count))
        return query, query[:6]
    if kind == 6:  # an exception answer
        query = bytes([node, 3, 0, address & 0xFF, 0, 125])
        return query, bytes([node, 0x83, 2])
    return bytes([node, 8, 0, 0, 0x12, 0x34]), bytes([node, 8, 0, 0, 0x12, 0x34])


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--frames", type=int, default=1_000_000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    start = int(time.mktime((2026, 3, 2, 8, 0, 0, 0, 0, -1)))
    lines = []
    written = 0
    with open(args.out, "wb") as out:
        while written < args.frames:
            for body in exchange(rng):
                if written >= args.frames:
                    break
                frame = crc(body)
                if rng.randrange(100) == 0:
                    frame = frame[:-1] + bytes([frame[-1] ^ 0x5A])
                ms = 2 * written
                stamp = time.strftime("%b %d %Y %H:%M:%S", time.localtime(start + ms // 1000))
                stamp += ".%03d  " % (ms % 1000)
                pairs = bytes([len(frame) >> 8, len(frame) & 0xFF]) + frame
                lines.append("".join("%02X," % b for b in pairs) + stamp + "\r\n")
                written += 1
            if len(lines) >= 10000:
                out.write("".join(lines).encode("latin-1"))
                lines.clear()
        out.write("".join(lines).encode("latin-1"))


if __name__ == "__main__":
    main()
