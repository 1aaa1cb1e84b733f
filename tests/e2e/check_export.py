#!/usr/bin/env python3
"""Checks an exported capture against the Frame-list lines it was made from.

    check_export.py --csv CSV --pcap PCAP [--lines LINES] [--mlog MLOG] [--time-slack S]
                    [--arrival-before S]

LINES holds the Frame-list lines, one per line. The CSV (read with Python's csv module) must
hold exactly those lines in its summary column, in order. tshark must decode the pcap as one
Modbus RTU packet per line (frames of 5 bytes and more: a shorter one is one data packet) with the unit id, function code and CRC status of the CSV row, and
with the CSV's times (within S seconds, default 0.0015: a live frame's packet time is its
arrival, its text the time of the pass that listed it), in order. With --arrival-before S the
packets are a live capture's, timed by the arrival of their first byte: each may come up to S
seconds before the CSV's time (the pass that listed it), never after it. With MLOG, the frames' bytes must be every byte of the capture
log file's records, in order. Prints one line and exits 0 when everything holds.
"""
import argparse
import csv
import datetime
import subprocess
import sys

COLUMNS = ["time", "tag", "node", "function", "name", "exception", "address", "quantity",
           "length", "crc_ok", "summary", "hex", "gap_before_us", "longest_pause_us"]


def fail(text):
    print("check_export: " + text, file=sys.stderr)
    sys.exit(1)


def read_lines(path):
    with open(path, "rb") as f:
        return [line.decode("latin-1") for line in f.read().split(b"\n")[:-1]]


def read_csv(path):
    # The file's bytes are the texts' own bytes: latin-1 keeps every byte as one character.
    with open(path, newline="", encoding="latin-1") as f:
        rows = list(csv.reader(f))
    if not rows or rows[0] != COLUMNS:
        fail(f"{path}: header row {rows[:1]}")
    return [dict(zip(COLUMNS, row)) for row in rows[1:]]


def tshark_rows(path):
    fields = ["frame.time_epoch", "mbrtu.unit_id", "modbus.func_code", "mbrtu.crc16.status",
              "frame.protocols"]
    command = ["tshark", "-r", path, "-o", "mbrtu.crc_verification:TRUE", "-T", "fields"]
    for field in fields:
        command += ["-e", field]
    run = subprocess.run(command, capture_output=True, text=True, check=False)
    if run.returncode != 0:
        fail(f"tshark read {path} with status {run.returncode}: {run.stderr.strip()}")
    return [dict(zip(fields, line.split("\t"))) for line in run.stdout.splitlines()]


def mlog_bytes(path):
    data = bytearray()
    with open(path, "rb") as f:
        for line in f.read().split(b"\n"):
            line = line.rstrip(b"\r")
            if not line:
                continue
            n = int(line[0:2], 16) * 256 + int(line[3:5], 16)
            data += bytes(int(line[6 + 3 * k:8 + 3 * k], 16) for k in range(n))
    return bytes(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--csv", required=True)
    parser.add_argument("--pcap", required=True)
    parser.add_argument("--lines")
    parser.add_argument("--mlog")
    parser.add_argument("--time-slack", type=float, default=0.0015)
    parser.add_argument("--arrival-before", type=float, default=0.0)
    args = parser.parse_args()
    rows = read_csv(args.csv)
    packets = tshark_rows(args.pcap)
    if args.lines and [row["summary"] for row in rows] != read_lines(args.lines):
        fail("the CSV summary column is not the Frame-list lines")
    if len(packets) != len(rows):
        fail(f"tshark read {len(packets)} packets for {len(rows)} lines")
    previous = None
    decoded = 0
    for i, (row, packet) in enumerate(zip(rows, packets)):
        where = f"line {i + 1} ({row['summary']!r})"
        frame = bytes.fromhex(row["hex"])
        if len(frame) != int(row["length"]):
            fail(f"{where}: {len(frame)} bytes, length column {row['length']}")
        # Wireshark's RTU dissector (4.0) takes frames of 5 bytes and more; a shorter one (a
        # Report Slave ID query, a scrap) is shown as its data bytes.
        if len(frame) < 5:
            if packet["frame.protocols"] != "exported_pdu:data":
                fail(f"{where}: a {len(frame)}-byte frame as {packet['frame.protocols']}")
        else:
            decoded += 1
            if not packet["frame.protocols"].startswith("exported_pdu:mbrtu"):
                fail(f"{where}: tshark did not decode it as Modbus RTU: {packet}")
            if packet["mbrtu.unit_id"] != row["node"]:
                fail(f"{where}: tshark unit id {packet['mbrtu.unit_id']}, node {row['node']}")
            if packet["mbrtu.crc16.status"] != ("1" if row["crc_ok"] == "1" else "0"):
                fail(f"{where}: tshark CRC status {packet['mbrtu.crc16.status']}, "
                     f"crc_ok {row['crc_ok']}")
            if row["crc_ok"] == "1" and packet["modbus.func_code"] != row["function"]:
                fail(f"{where}: tshark function {packet['modbus.func_code']}, "
                     f"function {row['function']}")
        packet_time = float(packet["frame.time_epoch"])
        if previous is not None and packet_time < previous:
            fail(f"{where}: packet time {packet_time} goes back from {previous}")
        previous = packet_time
        if row["time"]:
            row_time = datetime.datetime.fromisoformat(row["time"]).timestamp()
            early = row_time - packet_time
            if early > args.time_slack + args.arrival_before or -early > args.time_slack:
                fail(f"{where}: CSV time {row['time']}, packet time {packet_time}")
    if args.mlog:
        listed = b"".join(bytes.fromhex(row["hex"]) for row in rows)
        if listed != mlog_bytes(args.mlog):
            fail("the frames' bytes are not the bytes of the capture file's records")
    print(f"check_export: {len(rows)} lines, {decoded} decoded by tshark as Modbus RTU")


if __name__ == "__main__":
    main()
