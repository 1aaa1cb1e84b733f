#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from real Modbus RTU frames.

Run from anywhere; the files go to corpus/<target>/ beside this script. Seeds are small and
few: the fuzzer grows its own corpus from them at run time.
"""
import pathlib
import struct


def crc(body: bytes) -> bytes:
    w = 0xFFFF
    for b in body:
        w ^= b
        for _ in range(8):
            w = (w >> 1) ^ 0xA001 if w & 1 else w >> 1
    return body + bytes([w & 0xFF, w >> 8])


def h(text: str) -> bytes:
    return bytes.fromhex(text)


FRAMES = {
    "read_holding_query": h("01 03 00 00 00 0A C5 CD"),
    "read_holding_response": h("01 03 04 00 01 00 02 2A 32"),
    "exception": h("01 83 02 C0 F1"),
    "force_single_coil": h("01 05 00 00 FF 00 8C 3A"),
    "node3_response": h("03 03 02 00 2A 40 5B"),
    "node3_query": h("03 03 00 00 00 01 85 E8"),
    "preset_multiple_query": crc(h("01 10 00 01 00 02 04 41 20 00 00")),
    "preset_multiple_response": crc(h("01 10 00 01 00 02")),
    "two_floats": crc(h("01 03 08 41 20 00 00 42 C8 00 00")),
    "coil_status_response": crc(h("01 01 02 CD 01")),
    "coil_status_query": crc(h("01 01 00 13 00 25")),
    "input_regs_query": crc(h("11 04 00 08 00 01")),
    "input_regs_response": crc(h("11 04 02 00 0A")),
    "report_slave_id": crc(h("01 11")),
    "ct_delays": crc(h("01 44 00 00 00 02 04 41 20 00 00")),
    "ram_dump": crc(h("01 69 00 00 00 04 08 01 02 03 04 05 06 07 08")),
    "damaged_crc": h("01 03 00 00 00 0A C5 CE"),
}

TIMESTAMP = b"Mar 05 2012 09:04:07.008  "


def log_line(frame: bytes, timestamp: bytes = TIMESTAMP, end: bytes = b"\r\n") -> bytes:
    n = len(frame)
    pairs = bytes([n >> 8, n & 0xFF]) + frame
    return b"".join(b"%02X," % b for b in pairs) + timestamp + end


def passes(*reads: bytes, cut: int = 0) -> bytes:
    """Operations for the analysis pass: each read (optionally cut in two), then a pass."""
    ops = b""
    for read in reads:
        parts = [read[:cut], read[cut:]] if 0 < cut < len(read) else [read]
        for part in parts:
            ops += bytes([0, len(part)]) + part
        ops += bytes([1, 0])
    return ops


def pcap(frames, link: int = 252, big: bool = False, nano: bool = False) -> bytes:
    """A pcap file of the frames, one per packet; link type 252 names the RTU dissector."""
    order = ">" if big else "<"
    magic = 0xA1B23C4D if nano else 0xA1B2C3D4
    out = struct.pack(order + "IHHiIII", magic, 2, 4, 0, 0, 65535, link)
    for i, frame in enumerate(frames):
        data = frame
        if link == 252:
            data = struct.pack(">HH", 12, 5) + b"mbrtu" + struct.pack(">HH", 0, 0) + frame
        fraction = i * (1000000 if nano else 1000)
        out += struct.pack(order + "IIII", 1330938247, fraction, len(data), len(data)) + data
    return out


def main() -> None:
    root = pathlib.Path(__file__).resolve().parent / "corpus"
    f = FRAMES
    seeds = {
        "log_reader": {
            "poll": b"".join(log_line(x) for x in (f["read_holding_query"],
                                                   f["read_holding_response"],
                                                   f["exception"], f["force_single_coil"])),
            "line_feeds_only": log_line(f["node3_response"], end=b"\n")
            + log_line(f["node3_query"], end=b"\n"),
            "damaged_and_empty": b"\r\n0G,08,01\r\n" + log_line(f["damaged_crc"])
            + b"\n" + log_line(f["two_floats"], b"ts", b""),
            "response_before_query": log_line(f["preset_multiple_response"])
            + log_line(f["preset_multiple_query"]),
            "long_timestamp": log_line(f["ram_dump"], b"x" * 60),
        },
        "analysis_pass": {
            "poll": passes(f["read_holding_query"] + f["read_holding_response"],
                           f["exception"] + f["force_single_coil"]),
            "split_reads": passes(f["node3_response"] + f["node3_query"],
                                  f["input_regs_query"] + f["input_regs_response"], cut=5),
            "filtered": bytes([3, 3, 0]) + passes(f["two_floats"], f["coil_status_query"],
                                                  f["coil_status_response"]),
            "burst": bytes([0, len(f["preset_multiple_query"])]) + f["preset_multiple_query"]
            + bytes([2, 40])
            + passes(f["preset_multiple_response"]),
            # 51 exception frames per read, read 41 times: the capture limit comes mid-read.
            "capture_limit": bytes([0, 255]) + f["exception"] * 51 + bytes([2, 40]),
            # No at the limit, Stop, then Go again without saving.
            "limit_no_stop_go": bytes([5, 1]) + bytes([0, 255]) + f["exception"] * 51
            + bytes([2, 40, 7, 1, 5, 1, 6]) + passes(f["read_holding_query"]),
            "pause_continue": passes(f["read_holding_query"]) + bytes([7, 0])
            + passes(f["read_holding_response"]) + bytes([7, 0]) + passes(f["exception"]),
            "damaged_then_good": passes(f["damaged_crc"] + f["read_holding_query"])
            + bytes([4]) + passes(f["report_slave_id"]),
        },
        "pcap_reader": {
            "exported": pcap([f["read_holding_query"], f["read_holding_response"],
                              f["damaged_crc"], f["exception"]]),
            "user0_big_endian_nano": pcap([f["node3_query"], f["node3_response"]], link=147,
                                          big=True, nano=True),
            "cut_short": pcap([f["two_floats"], f["ram_dump"]])[:-3],
        },
        "register_decode": {name: bytes([i % 16]) + frame
                            for i, (name, frame) in enumerate(f.items())},
    }
    for target, files in seeds.items():
        folder = root / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, content in files.items():
            (folder / name).write_bytes(content)


if __name__ == "__main__":
    main()
