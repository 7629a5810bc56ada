#!/usr/bin/env python3
"""Writes the seed inputs of dispatch_fuzzer into corpus/: one valid message per command, and a few
whole conversations. An input is a fault byte, then blocks of a 16-bit little-endian length and the
block's bytes (see tools/dispatch_fuzzer/DispatchFuzzer.cpp). The device paths are those of the bus
the fuzzer plugs at start."""
import os
import struct

HANDSET = r"\\?\hid#vid_0911&pid_0c1c&mi_00#sim&1#{4d1e55b2-f16f-11cf-88cb-001111000030}"
FOOTSWITCH = r"\\?\hid#vid_0911&pid_091a#sim&4#{4d1e55b2-f16f-11cf-88cb-001111000030}"
MANAGER, DEVICE, OTHER = 0x1000, 0x2000, 0x3000


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def string(s):
    b = s.encode("latin-1")
    return u32(len(b)) + b


def header(code, handle):
    return u32(code) + u32(handle)


def descriptor(name, path, usage, vendor, product, version, inlen, outlen):
    return (u32(0) + string(name) + string(path) + u32(usage) + u32(vendor) + u32(product) + u32(version)
            + string("") + u32(inlen) + u32(outlen))


HANDSET_DESCRIPTOR = descriptor("Philips SpeechMike III", HANDSET, 9, 0x0911, 0x0C1C, 0x0300, 10, 10)
FOOT_DESCRIPTOR = descriptor("Philips Footswitch", FOOTSWITCH, 3, 0x0911, 0x091A, 0x0100, 2, 0)


def leds(handle, pairs):
    body = u32(len(pairs)) + b"".join(u32(a) + u32(b) for a, b in pairs)
    return header(17, handle) + body


def frame(faults, *blocks):
    out = bytes([faults])
    for block in blocks:
        out += struct.pack("<H", len(block)) + block
    return out


SINGLE = {
    "create_manager": header(1, MANAGER),
    "delete_manager": header(3, MANAGER),
    "get_connected_devices": header(5, MANAGER),
    "create_device": header(9, DEVICE),
    "delete_device": header(11, DEVICE),
    "assign_device": header(13, DEVICE) + u32(OTHER),
    "init_device": header(15, DEVICE) + HANDSET_DESCRIPTOR,
    "set_leds": leds(DEVICE, [(11, 1), (0, 2)]),
    "connect_device": header(19, DEVICE) + b"\x01",
    "disconnect_device": header(19, DEVICE) + b"\x00",
}

SESSIONS = {
    # List, open the hand-set, LEDs, a button report, disconnect.
    "session_handset": frame(0x80, header(1, MANAGER), header(5, MANAGER), header(9, DEVICE),
                             header(15, DEVICE) + HANDSET_DESCRIPTOR, header(19, DEVICE) + b"\x01",
                             leds(DEVICE, [(0, 1), (11, 0)]), header(19, DEVICE) + b"\x00"),
    # Two devices, one assigned from the other while connected; the foot switch comes and goes.
    "session_assign": frame(0xC0, header(1, MANAGER), header(9, DEVICE), header(9, OTHER),
                            header(15, DEVICE) + HANDSET_DESCRIPTOR, header(19, DEVICE) + b"\x01",
                            header(15, OTHER) + FOOT_DESCRIPTOR, header(13, OTHER) + u32(DEVICE),
                            header(11, DEVICE), leds(OTHER, [(1, 1)])),
    # Opening and enumeration refused by the bus.
    "session_faults": frame(0x22, header(1, MANAGER), header(5, MANAGER), header(9, DEVICE),
                            header(15, DEVICE) + HANDSET_DESCRIPTOR, header(19, DEVICE) + b"\x01"),
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, block in SINGLE.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(frame(0, block))
    for name, data in SESSIONS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
