"""Follows what zrmon-sim.exe does, as it happens, in readable lines: the
simulation's exchange log (commands and memory reads sent to the mouse, the
CPI block and stage sent to the filter driver, plugs and unplugs) and the log
of the configuration program's stand-in (its start, activations, the
messages the monitor sends it).

  python3 watch_sim.py SIM_LOG PEER_LOG

It prints until it gets SIGTERM or SIGINT, and then prints what was written
up to that moment before it ends."""
import os
import signal
import struct
import sys
import time

MESSAGES = {7035: "WM_APPLY_PROFILE", 7036: "WM_MONITOR_CLOSED", 7037: "WM_RELOAD_SETTINGS"}
CPI_BLOCK = 0x80008004
CPI_STAGE = 0x8000800C


def levels(block, offset):
    """The ten (enabled, x, y) stages of a CPI block from `offset`."""
    return [struct.unpack_from("<BII", block, offset + 9 * i) for i in range(10)]


def cpi_block(block):
    if len(block) != 238:
        return "driver <- CPI block of %d bytes (not 238): %s" % (len(block), block.hex())
    _, apply, _, _, _, _, _, _, _, _, stage = struct.unpack_from("<HHHBBBBhhHH", block)
    if apply == 0:
        return "driver <- CPI block: stop scaling (the monitor ends)"
    hardware, software = levels(block, 18), levels(block, 108)
    shown = []
    for i, ((on, x, y), (_, hx, hy)) in enumerate(zip(software, hardware)):
        if not on:
            continue
        text = "%d" % x if x == y else "%dx%d" % (x, y)
        if (hx, hy) != (x, y):
            text += " (sensor %s)" % ("%d" % hx if hx == hy else "%dx%d" % (hx, hy))
        shown.append(("[%s]" if i == stage else "%s") % text)
    return "driver <- CPI block: stage %d of %s CPI" % (stage, ", ".join(shown) or "no enabled levels")


def feature(report, answer=False):
    """A vendor feature report: [report ID, H0..H6, payload...]."""
    if len(report) < 8:
        return "%s feature report %s" % ("mouse ->" if answer else "mouse <-", report.hex())
    command, h = report[1] & 0x7F, report[1:8]
    if command == 3:
        address, length = h[1] | h[2] << 8, h[3] | h[4] << 8
        if answer:
            data = report[8:8 + length]
            return "mouse -> %d bytes from 0x%04X: %s" % (length, address, data[:16].hex(" ") +
                                                           (" ..." if length > 16 else ""))
        return "mouse <- read %d bytes of memory at 0x%04X" % (length, address)
    if command == 6:
        return "mouse <- command 6 (%d, %d)" % (h[1], h[2])
    return "mouse %s command %d: %s" % ("->" if answer else "<-", command, report.hex())


def sim_line(line):
    kind, _, rest = line.partition(" ")
    try:
        if kind == "plug":
            return "mouse plugged in"
        if kind == "unplug":
            return "mouse unplugged"
        if kind == "set-feature":
            return feature(bytes.fromhex(rest))
        if kind == "get-feature":
            return feature(bytes.fromhex(rest.split()[1]), answer=True)
        if kind == "write":
            return "mouse <- output report " + rest
        if kind == "reader-open":
            return "monitor reads the mouse's input reports"
        if kind == "ioctl":
            code, data = rest.split()
            code, data = int(code, 16), bytes.fromhex(data)
            if code == CPI_BLOCK:
                return cpi_block(data)
            if code == CPI_STAGE and len(data) == 2:
                return "driver <- CPI stage %d" % struct.unpack("<H", data)
            return "driver <- control code %08X: %s" % (code, data.hex())
    except (ValueError, IndexError, struct.error):
        pass
    return line


def peer_line(line):
    words = line.split()
    if words[:1] == ["start"]:
        return "configuration program (zrCfg.exe) started in " + line[6:]
    if words == ["activate"]:
        return "configuration program brought to the front"
    if words[:1] == ["message"] and len(words) == 4 and words[1].isdigit():
        number = int(words[1])
        return "monitor -> configuration program: %s (%d, %s, %s)" % (MESSAGES.get(number, "message"), number,
                                                                        words[2], words[3])
    return "configuration program: " + line


class Follower:
    def __init__(self, path, render):
        self.path, self.render, self.offset, self.rest = path, render, 0, b""

    def poll(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except FileNotFoundError:
            return []
        self.offset += len(data)
        lines = (self.rest + data).split(b"\n")
        self.rest = lines.pop()
        return [self.render(l.decode("utf-8", "replace").rstrip("\r")) for l in lines if l.strip()]


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: watch_sim.py SIM_LOG PEER_LOG")
    followers = [Follower(sys.argv[1], sim_line), Follower(sys.argv[2], peer_line)]
    ending = []
    signal.signal(signal.SIGTERM, lambda *_: ending.append(1))
    signal.signal(signal.SIGINT, lambda *_: ending.append(1))
    while True:
        last = bool(ending)
        for follower in followers:
            for text in follower.poll():
                print("%s  %s" % (time.strftime("%H:%M:%S"), text), flush=True)
        if last:
            return
        time.sleep(0.1)


if __name__ == "__main__":
    main()
