#!/usr/bin/python3
"""A Modbus RTU slave for the virtual line: answers a few unit ids from fixed register maps.

Every unit has 100 holding registers, 100 input registers, 64 coils and 64 discrete inputs, all
addressed from 0 as on the wire:

    holding register a of unit u   u * 100 + a
    input register a of unit u     10000 + u * 100 + a
    coil a of unit u               on when (a + u) % 3 == 0
    discrete input a of unit u     the opposite of coil a

Writes (codes 5, 6, 15, 16) change the maps. A read or write beyond the maps is answered with
exception 2 (illegal data address); a unit id that is not served gets no answer at all.

`--delay UNIT=MS` (repeatable) makes a unit answer MS milliseconds after the last chunk of its
query reached the slave, as a slow device does; units without one answer once the line has been
silent for 3.5 character times (1.75 ms above 19200 baud), as the protocol asks.

Two options make a unit break the protocol's timing, for tests of a monitor's timing checks:
`--no-gap UNIT` answers the moment the query is whole, without the 3.5 character silence, and
`--pause-inside UNIT=MS` stops MS milliseconds after the first three bytes of each answer.

A pseudo-terminal carries no parity: Linux keeps its terminal at 8 bits without parity, and
the C library then refuses any setting that asks for parity. The slave therefore opens its port
with parity N by default; the virtual line can still pace characters as 8E1.

Run it with /usr/bin/python3, which has the Debian pymodbus 3.0 and pyserial-asyncio modules.
Once the port is open it prints one line "modbus_slave: ready ..." on standard output. SIGINT
and SIGTERM close the port and end it.
"""

import argparse
import asyncio
import logging
import signal
import sys
import time

from pymodbus.datastore import (
    ModbusSequentialDataBlock,
    ModbusServerContext,
    ModbusSlaveContext,
)
from pymodbus.server import StartAsyncSerialServer
from pymodbus.server.async_io import ModbusSingleRequestHandler
from pymodbus.transaction import ModbusRtuFramer

REGISTERS = 100
BITS = 64


def holding_value(unit, address):
    return unit * 100 + address


def input_value(unit, address):
    return 10000 + unit * 100 + address


def coil_value(unit, address):
    return (address + unit) % 3 == 0


def unit_context(unit):
    """The four tables of one unit, addressed from 0 (zero_mode) like the frames."""
    return ModbusSlaveContext(
        hr=ModbusSequentialDataBlock(0, [holding_value(unit, a) for a in range(REGISTERS)]),
        ir=ModbusSequentialDataBlock(0, [input_value(unit, a) for a in range(REGISTERS)]),
        co=ModbusSequentialDataBlock(0, [coil_value(unit, a) for a in range(BITS)]),
        di=ModbusSequentialDataBlock(0, [not coil_value(unit, a) for a in range(BITS)]),
        zero_mode=True,
    )


def parse_units(text):
    units = sorted({int(part) for part in text.split(",") if part.strip()})
    if not units or any(u < 1 or u > 247 for u in units):
        raise argparse.ArgumentTypeError("unit ids are 1 to 247, e.g. 1,2")
    return units


def parse_delay(text):
    unit, _, ms = text.partition("=")
    try:
        unit, ms = int(unit), float(ms)
    except ValueError:
        raise argparse.ArgumentTypeError("a delay is UNIT=MS, e.g. 1=20") from None
    if unit < 1 or unit > 247 or ms < 0:
        raise argparse.ArgumentTypeError("a delay is UNIT=MS with a unit 1 to 247, MS 0 or more")
    return unit, ms


# When the last chunk of bytes reached the slave, on the monotonic clock: a query's last chunk
# by the time its answer is built.
last_received = [0.0]


# Units whose answers stop after their first bytes, and for how long (seconds).
pauses_inside = {}


class StampingHandler(ModbusSingleRequestHandler):
    """The serial handler, noting when each chunk of bytes arrives, and writing an answer in two
    parts with a pause between them where its unit is told to pause inside."""

    def data_received(self, data):
        last_received[0] = time.monotonic()
        super().data_received(data)

    def _send_(self, data):
        pause = pauses_inside.get(data[0]) if data else None
        if not pause:
            super()._send_(data)
            return
        # The transport only queues a write for the event loop, which the pause holds up: the
        # two parts go to the port itself.
        port = self.transport.serial
        port.write(data[:3])
        port.flush()
        time.sleep(pause)
        port.write(data[3:])
        port.flush()


def silence_between_frames(args):
    """3.5 character times of the port's settings, fixed at 1.75 ms above 19200 baud."""
    if args.baud > 19200:
        return 0.00175
    bits = 1 + args.bytesize + (0 if args.parity == "N" else 1) + args.stopbits
    return 3.5 * bits / args.baud


def delaying(delays, no_gap, silence):
    """An answer hook that holds each answer until its unit's delay, or the silence between
    frames, has passed since the query's last chunk; units with no gap are never held."""

    def hold(response):
        if response.unit_id in no_gap:
            return response, False
        delay = delays.get(response.unit_id)
        wait = last_received[0] + (delay / 1000.0 if delay else silence) - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        return response, False

    return hold


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Modbus RTU slave for the virtual line")
    parser.add_argument("port", help="serial device, e.g. /dev/pts/3")
    parser.add_argument("--units", type=parse_units, default=[1, 2],
                        help="unit ids to answer, comma separated (default 1,2)")
    parser.add_argument("--baud", type=int, default=38400)
    parser.add_argument("--parity", choices=["N", "E", "O"], default="N")
    parser.add_argument("--bytesize", type=int, choices=[7, 8], default=8)
    parser.add_argument("--stopbits", type=int, choices=[1, 2], default=1)
    parser.add_argument("--delay", type=parse_delay, action="append", default=[],
                        metavar="UNIT=MS", help="answer UNIT after MS milliseconds (repeatable)")
    parser.add_argument("--no-gap", type=parse_units, action="append", default=[],
                        metavar="UNITS", help="answer UNITS without the silence between frames")
    parser.add_argument("--pause-inside", type=parse_delay, action="append", default=[],
                        metavar="UNIT=MS", help="pause MS milliseconds inside UNIT's answers")
    parser.add_argument("--verbose", action="store_true", help="log every frame")
    return parser.parse_args(argv)


async def serve(args):
    pauses_inside.update({unit: ms / 1000.0 for unit, ms in args.pause_inside})
    context = ModbusServerContext(
        slaves={unit: unit_context(unit) for unit in args.units}, single=False
    )
    # The RTU framer must be named: the serial server would otherwise frame in ASCII.
    server = await StartAsyncSerialServer(
        context=context,
        framer=ModbusRtuFramer,
        port=args.port,
        baudrate=args.baud,
        parity=args.parity,
        bytesize=args.bytesize,
        stopbits=args.stopbits,
        timeout=0.05,
        ignore_missing_slaves=True,
        defer_start=True,
        handler=StampingHandler,
        response_manipulator=delaying(dict(args.delay),
                                      {unit for units in args.no_gap for unit in units},
                                      silence_between_frames(args)),
    )
    await server.start()
    if server.transport is None:
        print(f"modbus_slave: cannot open {args.port}", file=sys.stderr)
        return 1

    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for signum in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(signum, stop.set)
    units = ",".join(str(u) for u in args.units)
    print(f"modbus_slave: ready on {args.port} units {units}", flush=True)
    await stop.wait()
    await server.shutdown()
    return 0


def main(argv):
    args = parse_args(argv)
    # pymodbus configures logging when it is imported and reports every exception answer as
    # an error; here those answers are part of the job, so it stays quiet unless asked.
    logging.getLogger().setLevel(logging.DEBUG if args.verbose else logging.CRITICAL)
    logging.getLogger("pymodbus").setLevel(logging.DEBUG if args.verbose else logging.CRITICAL)
    try:
        return asyncio.run(serve(args))
    except OSError as error:
        print(f"modbus_slave: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
