#!/usr/bin/python3
"""A stand-in for the label printer, for tests and for trying the terminal by hand.

It speaks the printer's framed binary protocol over TCP (127.0.0.1 only) or a
pseudo-terminal in raw mode, records every request it receives and answers as
the printer does. It is written from the frame tables, not from the terminal's
own packers, so the two check each other.

Frames (both directions): A9 20, one byte (0x10 in requests), the command, the
payload, an 8-bit sum of everything before it, then the tail 3C 23. Requests
carry no length field, so each one is cut by what its command implies.

Usage:
    fakeprinter.py --tcp [--port N]        listen on 127.0.0.1 (port 0 = any free)
    fakeprinter.py --pty                   open a raw pseudo-terminal
    common: --lifetime SECONDS (default 300, at most 86400), --no-control,
            --verbose (each request and reply in hex on standard error),
            --sn TEXT, --version TEXT, --model N, --ink-serial TEXT,
            --ink-amount N, --handshake-layout current|old, --notify-delay-ms N

Trying the terminal by hand, without a printer:
    fakeprinter.py --tcp --port 8111 --no-control --lifetime 3600
then set the terminal's link to TCP with the printer address 127.0.0.1.

The first line on standard output is a JSON object announcing the transport:
    {"event": "ready", "transport": "tcp", "host": "127.0.0.1", "port": 40123}
    {"event": "ready", "transport": "pty", "path": "/dev/pts/7"}

Control channel: unless --no-control is given, every line on standard input is
one JSON command and gets exactly one JSON line back on standard output,
{"ok": true, ...} or {"ok": false, "error": "..."}. End of input ends the
program, so a test that dies takes its printer with it.

    {"cmd": "status"}           connection state, request count, settings
    {"cmd": "set", ...}         any of: version, sn, model, inkboxSerial,
                                inkAmount, handshakeLayout ("current"|"old"),
                                printType (1 = column records, 2/3 = row records;
                                default from characters 4-5 of sn),
                                notifyDelayMs, masterVersion, motionVersion,
                                params {speed, colorDepth, voltage, pulseWidth,
                                printMode, paperExit, washLevel, compensationX,
                                compensationY, powerOnReset},
                                network {ip, mask, gateway, port},
                                blocks {"5": "hex of 16 bytes", ...},
                                replyByte (byte 2 of replies, default 0x10)
    {"cmd": "requests", "hex": false}
                                every recorded request: command, length,
                                sha256, checksumOk, tailOk (and hex if asked)
    {"cmd": "request", "index": i}   one request with its bytes as hex
    {"cmd": "clear"}            forget the recorded requests
    {"cmd": "fault", ...}       a rule for the next request(s), see below
    {"cmd": "faults"}           the rules still waiting
    {"cmd": "send", "hex": "..."}    write raw bytes to the terminal now
    {"cmd": "swapInkBox", "serial": TEXT, "dots": N, "intact": true}
                                a new ink box: block 5 holds the serial (16
                                ASCII characters, blank-padded), block 6 the
                                count N as N, ~N, N (big-endian) and 06 F9 06
                                F9; "intact": false stores N where ~N belongs,
                                a count that fails its check. The handshake
                                reports the new serial and count.
    {"cmd": "reply", "command": c, "status": s}
                                send an unsolicited reply built as for a
                                request of command c (e.g. a print notice 0x20)
    {"cmd": "page", "index": i}   decode the recorded print request i (0x11
                                or 0x12) by the print type's frame layout:
                                command, layout (1 column records, 2 row
                                records), headerY (layout 2), records, dots,
                                minPos, maxPos, across, rows; rows[p - minPos]
                                is the hex of the record position p's dots,
                                byte k bit b (value 2^b) = dot 8k + b along
                                the bands (band * 150 + position in band)
    {"cmd": "decode", "hex": "...", "layout": 1|2}   the same for given bytes
    {"cmd": "disconnect", "mode": "close"|"reset"}  drop the TCP client now
    {"cmd": "hangup"}           close the pseudo-terminal (the line goes dead)
    {"cmd": "quit"}

Fault rules apply to the next request whose command equals "match" (any
command when absent), "count" times (default 1), and may combine:
    "status": n          reply with this status byte
    "noReply": true      record the request, answer nothing
    "payload": "hex"     reply payload (after the command byte) replaced whole
    "split": [k, ...]    write the reply in pieces cut at these byte offsets,
                         "splitDelayMs" apart (default 30)
    "merge": true        hold the reply and send it in one write with the next
    "prefix"/"suffix": "hex"   bytes written right before/after the reply
    "dropTail": true     leave off the reply's 3C 23
    "notifyFirst": true  (print) send the finished notice before the reply
    "noNotify": true     (print) no finished notice
    "notifyStatus": n    (print) status of the finished notice
    "notifyDelayMs": n   (print) the finished notice n ms after the reply,
                         whatever the printer's own notifyDelayMs
    "then": "close"|"reset"|"hangup"   end the link after answering
    "before": "close"|"reset"|"hangup" end the link instead of answering
"""

import argparse
import errno
import hashlib
import json
import os
import select
import socket
import struct
import sys
import time
import tty

HEAD = b"\xa9\x20"
TAIL = b"\x3c\x23"
REQUEST_BYTE = 0x10
MAX_LIFETIME = 86400

# Requests whose length is fixed: command -> whole frame length.
FIXED_LENGTH = {
    0x10: 7,  # handshake
    0x13: 7,  # stop print
    0x51: 7,  # read print parameters
    0x60: 7,  # clean the ink box
    0x71: 7,  # read network settings
    0x72: 7,  # motion self-test
    0x73: 7,  # test page
    0x74: 7,  # hardware versions
    0xA0: 8,  # read ink-box block
    0xA1: 24,  # write ink-box block: block number + 16 bytes
    0x50: 19,  # write print parameters
    0x70: 21,  # write network settings
    0x30: 8,  # read data package
}

RECORD_SIZE = 22  # position u16, band u8, 19 bytes of dots


def sum8(data):
    return sum(data) & 0xFF


def frame(command, payload, second_byte=REQUEST_BYTE):
    body = HEAD + bytes([second_byte, command]) + payload
    return body + bytes([sum8(body)]) + TAIL


def text_field(text, width):
    raw = text.encode("utf-8")[:width]
    return raw + b"\x00" * (width - len(raw))


def trace(what, data):
    shown = data.hex(" ") if len(data) <= 256 else data[:256].hex(" ") + " ... (%d bytes)" % len(data)
    sys.stderr.write("%s %s\n" % (what, shown))
    sys.stderr.flush()


def printer_type_from_sn(sn):
    code = sn[4:6]
    return {"10": 1, "20": 2, "30": 3}.get(code, 0)


BAND_DOTS = 150


def decode_print(data, layout):
    """A print frame as the printer reads it: every record's 150 dots put at
    (record position, band * 150 + dot position in the band). Bits of a
    record's 19 bytes run most significant first from band position 149 down
    to 0, then two unused bits."""
    if len(data) < 9 or data[:2] != HEAD or data[3] not in (0x11, 0x12):
        raise ValueError("not a print frame")
    header = 6 if layout == 1 else 8
    if len(data) < header + 3:
        raise ValueError("print frame too short")
    count = struct.unpack(">H", bytes(data[header - 2:header]))[0]
    if len(data) != header + RECORD_SIZE * count + 3:
        raise ValueError("length %d does not match %d records" % (len(data), count))
    rows = {}
    across = 0
    dots = 0
    for i in range(count):
        at = header + RECORD_SIZE * i
        position, band = struct.unpack(">HB", bytes(data[at:at + 3]))
        value = int.from_bytes(bytes(data[at + 3:at + RECORD_SIZE]), "big")
        if value & 3:
            raise ValueError("record %d sets an unused bit" % i)
        value >>= 2  # bit j is now the band's position j
        if value:
            dots += bin(value).count("1")
            across = max(across, band * BAND_DOTS + value.bit_length())
        rows[position] = rows.get(position, 0) | (value << (band * BAND_DOTS))
    result = {
        "command": data[3], "layout": layout, "records": count, "dots": dots,
        "checksumOk": data[-3] == sum8(data[:-3]), "tailOk": data.endswith(TAIL),
        "across": across, "minPos": 0, "maxPos": -1, "rows": [],
    }
    if layout != 1:
        result["headerY"] = struct.unpack(">H", bytes(data[4:6]))[0]
    if rows:
        low, high = min(rows), max(rows)
        width = (across + 7) // 8
        result["minPos"], result["maxPos"] = low, high
        result["rows"] = [rows.get(p, 0).to_bytes(width, "little").hex() for p in range(low, high + 1)]
    return result


class Printer:
    """What the printer knows and how it answers."""

    def __init__(self, args):
        self.version = args.version
        self.sn = args.sn
        self.model = args.model
        self.inkbox_serial = args.ink_serial
        self.ink_amount = args.ink_amount
        self.handshake_layout = args.handshake_layout
        self.print_type = None  # follow the serial number
        self.notify_delay_ms = args.notify_delay_ms
        self.master_version = "MC-1.2.3"
        self.motion_version = "MOT-4.5.6"
        self.reply_byte = REQUEST_BYTE
        self.params = {
            "speed": 2, "colorDepth": 2, "voltage": 90, "pulseWidth": 25,
            "printMode": 1, "paperExit": 1, "washLevel": 2,
            "compensationX": 0, "compensationY": 0, "powerOnReset": 1,
        }
        self.network = {"ip": "192.168.1.30", "mask": "255.255.255.0",
                        "gateway": "192.168.1.1", "port": 8111}
        self.blocks = {}
        serial = self.inkbox_serial.encode("ascii", "replace")[:16].ljust(16, b" ")
        self.blocks[5] = serial
        dots = 5000000
        self.blocks[6] = struct.pack(">II", dots, dots ^ 0xFFFFFFFF) + bytes(8)

    def swap_ink_box(self, serial, dots, intact=True):
        """A new ink box in place of the old: its serial in block 5, its count
        in block 6 as the ink table lays it out."""
        dots &= 0xFFFFFFFF
        check = dots ^ 0xFFFFFFFF if intact else dots
        self.inkbox_serial = serial
        self.ink_amount = dots if dots < 0x80000000 else dots - 0x100000000
        self.blocks[5] = serial.encode("ascii", "replace")[:16].ljust(16, b" ")
        self.blocks[6] = struct.pack(">III", dots, check, dots) + bytes([0x06, 0xF9, 0x06, 0xF9])

    def effective_print_type(self):
        if self.print_type is not None:
            return self.print_type
        return printer_type_from_sn(self.sn)

    # --- request lengths -------------------------------------------------

    def request_length(self, buf):
        """Whole length of the request at the start of buf, None when more
        bytes are needed to tell, or -1 for a command this printer does not know."""
        if len(buf) < 4:
            return None
        command = buf[3]
        if command in FIXED_LENGTH:
            return FIXED_LENGTH[command]
        if command in (0x80, 0x81):  # firmware: u32 image size
            if len(buf) < 8:
                return None
            return 11 + struct.unpack(">I", bytes(buf[4:8]))[0]
        if command == 0x31:  # write data package: 0x08, length byte, data
            if len(buf) < 6:
                return None
            return 9 + buf[5]
        if command in (0x11, 0x12):
            if self.effective_print_type() == 1:
                if len(buf) < 6:
                    return None
                return 9 + RECORD_SIZE * struct.unpack(">H", bytes(buf[4:6]))[0]
            if len(buf) < 8:
                return None
            return 11 + RECORD_SIZE * struct.unpack(">H", bytes(buf[6:8]))[0]
        return -1

    # --- replies ---------------------------------------------------------

    def reply_payload(self, command, request, status):
        """Reply payload for a request, None when the printer answers nothing.
        Writes take effect here, so later reads return them."""
        s = bytes([status & 0xFF])
        if command == 0x10:
            if self.handshake_layout == "old":
                return (s + text_field(self.version, 8) + text_field(self.sn, 15)
                        + text_field(self.inkbox_serial, 32))
            return (s + text_field(self.version, 32) + text_field(self.sn, 32)
                    + bytes([self.model & 0xFF]) + text_field(self.inkbox_serial, 32)
                    + struct.pack(">i", self.ink_amount))
        if command in (0x11, 0x12, 0x20, 0x60, 0x72, 0x73, 0x80, 0x81):
            return s
        if command == 0x50:
            if status == 0 and len(request) >= 19:
                p = request[4:16]
                cx, cy = struct.unpack(">hh", bytes(p[7:11]))
                self.params = {
                    "speed": p[0], "colorDepth": p[1], "voltage": p[2],
                    "pulseWidth": p[3], "printMode": p[4], "paperExit": p[5],
                    "washLevel": p[6], "compensationX": cx, "compensationY": cy,
                    "powerOnReset": p[11],
                }
            return s
        if command == 0x51:
            p = self.params
            return s + bytes([p["speed"], p["colorDepth"], p["voltage"], p["pulseWidth"],
                              p["printMode"], p["paperExit"], p["washLevel"]]) \
                + struct.pack(">hh", p["compensationX"], p["compensationY"]) \
                + bytes([p["powerOnReset"]])
        if command == 0x70:
            if status == 0 and len(request) >= 21:
                p = request[4:18]
                self.network = {
                    "ip": ".".join(str(b) for b in p[0:4]),
                    "mask": ".".join(str(b) for b in p[4:8]),
                    "gateway": ".".join(str(b) for b in p[8:12]),
                    "port": struct.unpack(">H", bytes(p[12:14]))[0],
                }
            return s
        if command == 0x71:
            if status != 0:
                return s
            n = self.network
            return (s + octets(n["ip"]) + octets(n["mask"]) + octets(n["gateway"])
                    + struct.pack(">H", n["port"] & 0xFFFF))
        if command == 0x74:
            return s + text_field(self.master_version, 40) + text_field(self.motion_version, 40)
        if command == 0xA0:
            block = request[4] if len(request) > 4 else 0
            data = self.blocks.get(block, bytes(16))
            return s + bytes([block]) + data
        if command == 0xA1:
            if status == 0 and len(request) >= 24:
                self.blocks[request[4]] = bytes(request[5:21])
            return s
        return None  # 0x13 stop, 0x30/0x31 data packages and unknown commands

    def apply_settings(self, obj):
        for key, attr in (("version", "version"), ("sn", "sn"),
                          ("inkboxSerial", "inkbox_serial"),
                          ("masterVersion", "master_version"),
                          ("motionVersion", "motion_version")):
            if key in obj:
                setattr(self, attr, str(obj[key]))
        for key, attr in (("model", "model"), ("inkAmount", "ink_amount"),
                          ("notifyDelayMs", "notify_delay_ms"),
                          ("replyByte", "reply_byte")):
            if key in obj:
                setattr(self, attr, int(obj[key]))
        if "printType" in obj:
            self.print_type = None if obj["printType"] is None else int(obj["printType"])
        if "handshakeLayout" in obj:
            if obj["handshakeLayout"] not in ("current", "old"):
                raise ValueError("handshakeLayout must be current or old")
            self.handshake_layout = obj["handshakeLayout"]
        if "params" in obj:
            for k, v in obj["params"].items():
                if k not in self.params:
                    raise ValueError("unknown parameter " + k)
                self.params[k] = int(v)
        if "network" in obj:
            for k, v in obj["network"].items():
                if k not in self.network:
                    raise ValueError("unknown network field " + k)
                self.network[k] = int(v) if k == "port" else str(v)
        if "blocks" in obj:
            for k, v in obj["blocks"].items():
                data = bytes.fromhex(v)
                if len(data) != 16:
                    raise ValueError("a block holds 16 bytes")
                self.blocks[int(k)] = data

    def describe(self):
        return {
            "version": self.version, "sn": self.sn, "model": self.model,
            "inkboxSerial": self.inkbox_serial, "inkAmount": self.ink_amount,
            "handshakeLayout": self.handshake_layout,
            "printType": self.effective_print_type(),
            "notifyDelayMs": self.notify_delay_ms,
            "masterVersion": self.master_version, "motionVersion": self.motion_version,
            "params": dict(self.params), "network": dict(self.network),
            "blocks": {str(k): v.hex() for k, v in sorted(self.blocks.items())},
        }


def octets(text):
    parts = (text.split(".") + ["0"] * 4)[:4]
    out = bytearray()
    for p in parts:
        try:
            out.append(int(p) & 0xFF)
        except ValueError:
            out.append(0)
    return bytes(out)


class Link:
    """The byte pipe to the terminal: a TCP listener with at most one client,
    or the master side of a pseudo-terminal."""

    def __init__(self, kind, port=0):
        self.kind = kind
        self.client = None
        self.listener = None
        self.master = None
        self.slave = None
        self.hung_up = False
        self.connections = 0
        if kind == "tcp":
            self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.listener.bind(("127.0.0.1", port))
            self.listener.listen(4)
        else:
            self.master, self.slave = os.openpty()
            tty.setraw(self.slave)
            os.set_blocking(self.master, False)

    def announce(self):
        if self.kind == "tcp":
            return {"event": "ready", "transport": "tcp", "host": "127.0.0.1",
                    "port": self.listener.getsockname()[1]}
        return {"event": "ready", "transport": "pty", "path": os.ttyname(self.slave)}

    def read_fds(self):
        if self.kind == "tcp":
            # One connection at a time: later ones wait in the backlog.
            return [self.client] if self.client else [self.listener]
        return [] if self.hung_up else [self.master]

    def accept(self):
        conn, _ = self.listener.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.client = conn
        self.connections += 1

    def connected(self):
        return self.client is not None if self.kind == "tcp" else not self.hung_up

    def read(self):
        """Bytes received, b"" when the peer went away."""
        try:
            if self.kind == "tcp":
                data = self.client.recv(65536)
                if not data:
                    self.drop("close")
                return data
            return os.read(self.master, 65536)
        except (BlockingIOError, InterruptedError):
            return None
        except OSError:
            if self.kind == "tcp":
                self.drop("close")
            return b""

    def write(self, data):
        if not data:
            return
        if self.kind == "tcp":
            if self.client is None:
                return
            try:
                self.client.sendall(data)
            except OSError:
                self.drop("close")
            return
        if self.hung_up:
            return
        view = memoryview(data)
        deadline = time.monotonic() + 10
        while view and time.monotonic() < deadline:
            try:
                n = os.write(self.master, view)
                view = view[n:]
            except BlockingIOError:
                select.select([], [self.master], [], 0.1)
            except OSError:
                return

    def drop(self, mode):
        if self.kind == "tcp":
            if self.client is None:
                return
            if mode == "reset":
                self.client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            else:
                try:
                    self.client.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
            self.client.close()
            self.client = None
        else:
            self.hangup()

    def hangup(self):
        if self.kind != "pty" or self.hung_up:
            return
        self.hung_up = True
        os.close(self.master)
        os.close(self.slave)


class FakePrinter:
    def __init__(self, args):
        self.printer = Printer(args)
        self.link = Link("tcp" if args.tcp else "pty", args.port)
        self.control = not args.no_control
        self.deadline = time.monotonic() + min(args.lifetime, MAX_LIFETIME)
        self.inbuf = bytearray()
        self.requests = []
        self.garbage = 0
        self.rules = []
        self.held = b""  # a reply waiting to be merged with the next one
        self.timers = []  # (due, bytes)
        self.control_buf = b""
        self.running = True
        self.verbose = args.verbose

    # --- request side ----------------------------------------------------

    def feed(self, data):
        self.inbuf += data
        while True:
            start = self.inbuf.find(HEAD)
            if start < 0:
                # Keep a lone A9 that may begin the next head.
                keep = 1 if self.inbuf.endswith(HEAD[:1]) else 0
                self.garbage += len(self.inbuf) - keep
                del self.inbuf[:len(self.inbuf) - keep]
                return
            if start > 0:
                self.garbage += start
                del self.inbuf[:start]
            length = self.printer.request_length(self.inbuf)
            if length is None:
                return
            if length < 0:
                # Unknown command: nothing tells its length, so cut at the next tail.
                end = self.inbuf.find(TAIL, 4)
                if end < 0:
                    return
                length = end + 2
            if len(self.inbuf) < length:
                return
            request = bytes(self.inbuf[:length])
            del self.inbuf[:length]
            self.handle(request)

    def handle(self, request):
        command = request[3]
        if self.verbose:
            trace("request", request)
        checksum_ok = len(request) >= 7 and request[-3] == sum8(request[:-3])
        tail_ok = request.endswith(TAIL)
        self.requests.append({
            "command": command,
            "length": len(request),
            "secondByte": request[2],
            "checksumOk": checksum_ok,
            "tailOk": tail_ok,
            "bytes": request,
            "time": time.monotonic(),
        })
        if not (checksum_ok and tail_ok and request[2] == REQUEST_BYTE):
            return  # a damaged request gets no answer, as on the real line
        rule = self.take_rule(command)
        if rule.get("before"):
            self.link.drop(rule["before"])
            return
        if rule.get("noReply"):
            self.finish(rule)
            return
        status = int(rule.get("status", 0))
        if "payload" in rule:
            payload = bytes.fromhex(rule["payload"])
        else:
            payload = self.printer.reply_payload(command, request, status)
        if payload is None:
            self.finish(rule)
            return
        reply = frame(command, payload, self.printer.reply_byte)
        if rule.get("dropTail"):
            reply = reply[:-2]
        reply = bytes.fromhex(rule.get("prefix", "")) + reply + bytes.fromhex(rule.get("suffix", ""))
        notice = None
        if command == 0x11 and not rule.get("noNotify"):
            notice = frame(0x20, bytes([int(rule.get("notifyStatus", 0)) & 0xFF]),
                           self.printer.reply_byte)
        if notice is not None and rule.get("notifyFirst"):
            self.emit(notice, {})
            notice = None
        self.emit(reply, rule)
        if notice is not None:
            delay = int(rule.get("notifyDelayMs", self.printer.notify_delay_ms))
            self.timers.append((time.monotonic() + delay / 1000.0, notice))
        self.finish(rule)

    def take_rule(self, command):
        for i, rule in enumerate(self.rules):
            match = rule.get("match")
            if match is None or int(match) == command:
                rule["left"] -= 1
                if rule["left"] <= 0:
                    del self.rules[i]
                return rule
        return {}

    def finish(self, rule):
        if rule.get("then"):
            self.link.drop(rule["then"])

    def emit(self, data, rule):
        if rule.get("merge"):
            self.held += data
            return
        data = self.held + data
        self.held = b""
        if self.verbose:
            trace("reply", data)
        cuts = sorted(set(int(c) for c in rule.get("split", []) if 0 < int(c) < len(data)))
        if not cuts:
            self.link.write(data)
            return
        pause = int(rule.get("splitDelayMs", 30)) / 1000.0
        prev = 0
        for c in cuts + [len(data)]:
            self.link.write(data[prev:c])
            prev = c
            if c != len(data):
                time.sleep(pause)

    # --- control side ----------------------------------------------------

    def control_line(self, line):
        try:
            obj = json.loads(line)
            if not isinstance(obj, dict):
                raise ValueError("a command is a JSON object")
            result = self.command(obj)
            result["ok"] = True
        except (ValueError, KeyError, TypeError, IndexError) as e:
            result = {"ok": False, "error": str(e)}
        sys.stdout.write(json.dumps(result) + "\n")
        sys.stdout.flush()

    def command(self, obj):
        cmd = obj.get("cmd")
        if cmd == "status":
            return {"connected": self.link.connected(), "connections": self.link.connections,
                    "hungUp": self.link.hung_up, "requests": len(self.requests),
                    "garbage": self.garbage, "pendingFaults": len(self.rules),
                    "settings": self.printer.describe()}
        if cmd == "set":
            self.printer.apply_settings(obj)
            return {}
        if cmd == "requests":
            with_hex = bool(obj.get("hex", False))
            return {"requests": [self.describe_request(r, with_hex) for r in self.requests]}
        if cmd == "request":
            return {"request": self.describe_request(self.requests[int(obj["index"])], True)}
        if cmd == "clear":
            self.requests = []
            self.garbage = 0
            return {}
        if cmd == "fault":
            rule = {k: v for k, v in obj.items() if k != "cmd"}
            for key in ("before", "then"):
                if key in rule and rule[key] not in ("close", "reset", "hangup"):
                    raise ValueError(key + " must be close, reset or hangup")
            for key in ("payload", "prefix", "suffix"):
                if key in rule:
                    bytes.fromhex(rule[key])
            rule["left"] = int(rule.get("count", 1))
            self.rules.append(rule)
            return {}
        if cmd == "faults":
            return {"faults": self.rules}
        if cmd == "send":
            self.link.write(bytes.fromhex(obj["hex"]))
            return {}
        if cmd == "swapInkBox":
            self.printer.swap_ink_box(str(obj["serial"]), int(obj["dots"]), bool(obj.get("intact", True)))
            return {}
        if cmd == "reply":
            command = int(obj["command"])
            payload = self.printer.reply_payload(command, frame(command, b""), int(obj.get("status", 0)))
            self.link.write(frame(command, payload or b"", self.printer.reply_byte))
            return {}
        if cmd == "page":
            request = self.requests[int(obj["index"])]["bytes"]
            return decode_print(request, 1 if self.printer.effective_print_type() == 1 else 2)
        if cmd == "decode":
            return decode_print(bytes.fromhex(obj["hex"]), int(obj.get("layout", 2)))
        if cmd == "disconnect":
            self.link.drop(obj.get("mode", "close"))
            return {}
        if cmd == "hangup":
            self.link.hangup()
            return {}
        if cmd == "quit":
            self.running = False
            return {}
        raise ValueError("unknown command %r" % cmd)

    @staticmethod
    def describe_request(r, with_hex):
        d = {k: r[k] for k in ("command", "length", "secondByte", "checksumOk", "tailOk")}
        d["sha256"] = hashlib.sha256(r["bytes"]).hexdigest()
        if with_hex:
            d["hex"] = r["bytes"].hex()
        return d

    # --- main loop -------------------------------------------------------

    def run(self):
        print(json.dumps(self.link.announce()), flush=True)
        stdin = sys.stdin.fileno()
        while self.running:
            now = time.monotonic()
            if now >= self.deadline:
                break
            due = [t for t in self.timers if t[0] <= now]
            if due:
                self.timers = [t for t in self.timers if t[0] > now]
                for _, data in sorted(due, key=lambda t: t[0]):
                    self.emit(data, {})
                continue
            timeout = self.deadline - now
            if self.timers:
                timeout = min(timeout, min(t[0] for t in self.timers) - now)
            fds = self.link.read_fds()
            if self.control:
                fds = fds + [stdin]
            try:
                ready, _, _ = select.select(fds, [], [], max(timeout, 0))
            except InterruptedError:
                continue
            for fd in ready:
                if fd is stdin or fd == stdin:
                    chunk = os.read(stdin, 1 << 20)
                    if not chunk:
                        self.running = False
                        break
                    self.control_buf += chunk
                    while b"\n" in self.control_buf:
                        line, self.control_buf = self.control_buf.split(b"\n", 1)
                        if line.strip():
                            self.control_line(line.decode("utf-8", "replace"))
                elif fd is self.link.listener:
                    self.link.accept()
                else:
                    data = self.link.read()
                    if data:
                        self.feed(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    transport = parser.add_mutually_exclusive_group(required=True)
    transport.add_argument("--tcp", action="store_true", help="listen on 127.0.0.1")
    transport.add_argument("--pty", action="store_true", help="open a raw pseudo-terminal")
    parser.add_argument("--port", type=int, default=0, help="TCP port (0: any free port)")
    parser.add_argument("--lifetime", type=float, default=300.0,
                        help="seconds before the printer stops by itself (at most %d)" % MAX_LIFETIME)
    parser.add_argument("--no-control", action="store_true",
                        help="ignore standard input (for running by hand in the background)")
    parser.add_argument("--verbose", action="store_true", help="trace requests and replies on standard error")
    parser.add_argument("--version", default="V2.1.0")
    parser.add_argument("--sn", default="KELO3020260001")
    parser.add_argument("--model", type=int, default=3)
    parser.add_argument("--ink-serial", default="INK2026000000001")
    parser.add_argument("--ink-amount", type=int, default=880000)
    parser.add_argument("--handshake-layout", choices=("current", "old"), default="current")
    parser.add_argument("--notify-delay-ms", type=int, default=200)
    args = parser.parse_args()
    if not 0 <= args.port <= 65535:
        parser.error("port out of range")
    if args.lifetime <= 0:
        parser.error("lifetime must be positive")
    try:
        FakePrinter(args).run()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
