#!/usr/bin/python3
"""Compares what a monitor listed with what the Modbus peers put on the line.

    peers_check.py truth MASTER_LOG...            > TRUTH   (one frame a line: Q|R HEX)
    peers_check.py compare TRUTH CAPTURE.mlog LISTED [--codes 1,3,4,16,17]
    peers_check.py values TRUTH VALUES.json

`values` works out from the wire stream the last value of every (node, table, address) that a
normal answer read or confirmed as written, and compares it with `quillon-cli values --json`:
the same points, the same raw values. It prints "points P same S" and the first differences,
and fails when they differ.

`truth` reads libmodbus debug output (a master's, from modbus_set_debug or mbpoll -v): a line
of "[XX]" tokens is a frame the master sent, a line of "<XX>" tokens one it received. In
order, these are the frames on the line.

`compare` lays the capture file's records over the wire stream by their byte offsets: a wire
frame is listed exactly when one record holds exactly its bytes. It prints one line of figures

    wire W exact E codes-wire CW codes-exact CE wrong-tags T bytes same|DIFFERENT

(codes-*: only the frames whose function code, without the exception bit, is one of --codes;
wrong-tags: exactly listed frames whose Frame-list line, from LISTED, is not tagged (Q) or (R)
as the frame's direction),
then the first frames tagged wrongly and the first not listed exactly, with the records that
hold their bytes.
"""

import re
import sys

SENT = re.compile(r"^(\[[0-9A-F]{2}\])+$")
RECEIVED = re.compile(r"^(<[0-9A-F]{2}>)+$")
TOKEN = re.compile(r"[0-9A-F]{2}")


def truth(paths):
    for path in paths:
        with open(path, encoding="ascii", errors="replace") as log:
            for line in log:
                line = line.strip()
                # libmodbus announces a wait and the bytes follow on the same line when its
                # output is not a terminal; only the bytes count.
                line = line.replace("Waiting for a confirmation...", "")
                if SENT.match(line):
                    print("Q " + "".join(TOKEN.findall(line)))
                elif RECEIVED.match(line):
                    print("R " + "".join(TOKEN.findall(line)))


def read_truth(path):
    frames = []
    with open(path, encoding="ascii") as f:
        for line in f:
            role, text = line.split()
            frames.append((role, bytes.fromhex(text)))
    return frames


def read_records(path):
    records = []
    with open(path, encoding="ascii", errors="replace") as f:
        for line in f:
            fields = line.split(",")
            n = int(fields[0], 16) * 256 + int(fields[1], 16)
            records.append(bytes(int(v, 16) for v in fields[2:2 + n]))
    return records


def read_tags(path):
    tags = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.search(r"\(([A-Z])\)", line)
            tags.append(m.group(1) if m else "?")
    return tags


def short(record):
    """A record's length and its first bytes."""
    text = record[:12].hex(" ").upper()
    return f"[{len(record)}] {text}" + (" ..." if len(record) > 12 else "")


def compare(truth_path, capture_path, listed_path, codes):
    frames = read_truth(truth_path)
    records = read_records(capture_path)
    tags = read_tags(listed_path)
    wire = b"".join(f for _, f in frames)
    read = b"".join(records)

    starts = {}
    at = 0
    for index, record in enumerate(records):
        starts[at] = index
        at += len(record)

    exact = codes_wire = codes_exact = wrong_tags = 0
    missed = []
    mistagged = []
    at = 0
    for role, frame in frames:
        index = starts.get(at)
        hit = index is not None and records[index] == frame
        in_codes = (frame[1] & 0x7F) in codes if len(frame) > 1 else False
        codes_wire += in_codes
        if hit:
            exact += 1
            codes_exact += in_codes
            if index < len(tags) and tags[index] != role:
                wrong_tags += 1
                mistagged.append((at, role, frame, tags[index]))
        else:
            missed.append((at, role, frame))
        at += len(frame)

    same = "same" if wire == read else "DIFFERENT"
    print(f"wire {len(frames)} exact {exact} codes-wire {codes_wire} codes-exact {codes_exact} "
          f"wrong-tags {wrong_tags} bytes {same}")
    if wire != read:
        first = next((i for i, (a, b) in enumerate(zip(wire, read)) if a != b),
                     min(len(wire), len(read)))
        print(f"  the records hold {len(read)} bytes, the line carried {len(wire)}; "
              f"first difference at byte {first}")
    # The first misses, each with the records that overlap it: enough to see the wrong cut.
    bounds = []
    at = 0
    for record in records:
        bounds.append((at, at + len(record)))
        at += len(record)
    for at, role, frame, tag in mistagged[:4]:
        print(f"  tagged {tag}: {role} {frame.hex(' ').upper()} at byte {at}")
    for at, role, frame in missed[:4]:
        end = at + len(frame)
        held = [short(records[i]) for i, (s, e) in enumerate(bounds) if s < end and e > at]
        print(f"  not exact: {role} {frame.hex(' ').upper()} at byte {at}; held by "
              + " | ".join(held[:3]))


def wire_values(frames):
    """The last value per (node, table, address) from each query and its normal answer."""
    image = {}
    query = None
    for role, frame in frames:
        if role == "Q":
            query = frame
            continue
        if query is None or len(frame) < 5 or frame[0] != query[0] or frame[1] != query[1]:
            query = None
            continue
        q, r, node, code = query[:-2], frame[:-2], frame[0], frame[1]
        query = None
        word = lambda b, i: b[i] * 256 + b[i + 1]

        def place(table, start, values):
            for i, value in enumerate(values):
                image[(node, table, start + i)] = value

        def bits(data, count):
            return [(data[i // 8] >> (i % 8)) & 1 for i in range(count)]

        def words(data, count):
            return [word(data, 2 * i) for i in range(count)]

        if code in (1, 2):
            place("coil" if code == 1 else "discrete_input", word(q, 2), bits(r[3:], word(q, 4)))
        elif code in (3, 4):
            table = "holding_register" if code == 3 else "input_register"
            place(table, word(q, 2), words(r[3:], word(q, 4)))
        elif code == 5:
            place("coil", word(q, 2), [1 if word(q, 4) == 0xFF00 else 0])
        elif code == 6:
            place("holding_register", word(q, 2), [word(q, 4)])
        elif code == 15:
            place("coil", word(q, 2), bits(q[7:], word(q, 4)))
        elif code == 16:
            place("holding_register", word(q, 2), words(q[7:], word(q, 4)))
        elif code == 22:
            key = (node, "holding_register", word(q, 2))
            if key in image:
                a, o = word(q, 4), word(q, 6)
                image[key] = (image[key] & a) | (o & ~a & 0xFFFF)
        elif code == 23:
            place("holding_register", word(q, 6), words(q[11:], word(q, 8)))
            place("holding_register", word(q, 2), words(r[3:], word(q, 4)))
    return image


def values(truth_path, values_path):
    import json
    wire = wire_values(read_truth(truth_path))
    seen = {}
    with open(values_path, encoding="ascii") as f:
        for line in f:
            point = json.loads(line)
            seen[(point["node"], point["table"], point["address"])] = point["raw"]
    same = sum(1 for key, value in wire.items() if seen.get(key) == value)
    print(f"points {len(wire)} same {same} listed {len(seen)}")
    differences = [(k, wire.get(k), seen.get(k)) for k in sorted(set(wire) | set(seen))
                   if wire.get(k) != seen.get(k)]
    for key, want, got in differences[:8]:
        print(f"  {key}: wire {want}, values {got}")
    return 0 if not differences else 1


def main(argv):
    if len(argv) >= 2 and argv[0] == "truth":
        truth(argv[1:])
        return 0
    if len(argv) in (4, 6) and argv[0] == "compare":
        codes = set(range(256))
        if len(argv) == 6 and argv[4] == "--codes":
            codes = {int(c) for c in argv[5].split(",")}
        compare(argv[1], argv[2], argv[3], codes)
        return 0
    if len(argv) == 3 and argv[0] == "values":
        return values(argv[1], argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
