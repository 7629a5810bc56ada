#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets, each into the folder of the target's name.

dispatch_fuzzer: one valid message per command, and a few whole conversations. An input is a fault
byte, then blocks of a 16-bit little-endian length and the block's bytes (see
tools/dispatch_fuzzer/DispatchFuzzer.cpp). The device paths are those of the bus the fuzzer plugs at
start.
report_fuzzer: for each product, a product byte and a few button reports (length byte, bytes).
button_map_fuzzer: map files (sections, repeated codes, numbers in atoi's forms).
driver_list_fuzzer: VirtualDriverEx lists with and without the channel's entry.
codec_fuzzer: a record kind byte, then a descriptor list, an LED list, a descriptor, an LED setting.
descriptor_fuzzer: HID report descriptors: vendor collections with and without report ids, a boot
keyboard and mouse, two top-level collections, push/pop and a long item."""
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


# Product index (as ReportFuzzer.cpp orders them), report length and the bytes set in each report.
PRODUCTS = [
    ("speechmike_i_pro", 0, 2, [{1: 0x20}, {1: 0xFF}, {0: 1, 1: 0x20}, {}]),
    ("slider", 1, 2, [{1: 0x40}, {}]),
    ("speechmike_ii_pro", 2, 10, [{1: 0x80, 9: 0x81}, {1: 0x80, 8: 0x20}, {1: 0x80}]),
    ("speechmike_iii", 3, 10, [{1: 0x80, 9: 0x11}, {1: 0x80, 9: 0x30}, {1: 0x7F, 9: 0xFF}, {1: 0x80}]),
    ("barcode", 4, 10, [{1: 0x80, 8: 0xFF, 9: 0xFF}, {1: 0x80}]),
    ("footswitch", 5, 2, [{1: 0x0F}, {1: 0x01}, {}]),
    ("lfh0210", 6, 2, [{1: 0x07}, {1: 0x02}, {}]),
    ("lfh0210_old", 7, 2, [{1: 0x04}, {}]),
    ("air", 8, 65, [{1: 0x80, 3: 0x01, 2: 0x80}, {1: 0x80}]),
    ("gamepad", 9, 4, [{1: 0x80, 2: 0x80, 3: 0x81}, {1: 0x7F, 2: 0x80, 3: 0xFF}, {1: 0x80, 2: 0x80}]),
    ("sonicmic", 10, 64, [{0: 1, 1: 1, 7: 0x20, 8: 0x03}, {0: 1, 1: 1, 8: 0x03}, {0: 1, 1: 1, 8: 0x03},
                          {0: 1, 1: 1}]),
    ("unknown", 11, 8, [{1: 0xFF}]),
]

MAP_FILES = {
    "first_wins": b"[Other]\r\n3=99\r\n[HardwareButtonMap]\r\n3=20\r\n3=21\r\n 5 = 7x\r\nabc=9\r\n16=-4\r\n",
    "forms": b"[hardwarebuttonmap]\n+7=-0\n-2147483649=99999999999\n\t12\t=\t\"13\"\n=5\n8\n",
    "two_sections": b"[HardwareButtonMap]\n1=2\n[HardwareButtonMap]\n1=3\n2=4\n; comment\n",
}

DRIVER_LISTS = {
    "empty": b"",
    "plain": b"ICAMM, TWI, ZLC",
    "with_entry": b"ICAMM, TovUSB, ZLC",
    "longer_name": b"TovUSB2,tovusbx, A",
    "blanks_and_case": b" a ,\ttovusb\t, b,,",
}


def report(length, bytes_set):
    data = bytearray(length)
    for index, value in bytes_set.items():
        data[index] = value
    return bytes([length]) + bytes(data)


def led_list(pairs):
    return u32(len(pairs)) + b"".join(u32(a) + u32(b) for a, b in pairs)


CODEC = {
    "descriptor_list": bytes([0]) + u32(2) + HANDSET_DESCRIPTOR + FOOT_DESCRIPTOR,
    "led_list": bytes([1]) + led_list([(11, 1), (0, 2)]),
    "descriptor": bytes([2]) + HANDSET_DESCRIPTOR,
    "led_setting": bytes([3]) + u32(2) + u32(3),
    "zero_in_name": bytes([2]) + descriptor("Name\0cut", HANDSET, 9, 0x0911, 0x0C1C, 0x0300, 10, 10),
}

REPORT_DESCRIPTORS = {
    "vendor_unnumbered": bytes([0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                                0x95, 0x09, 0x09, 0x02, 0x81, 0x02, 0x95, 0x09, 0x09, 0x03, 0x91, 0x02, 0xC0]),
    "vendor_numbered": bytes([0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,
                              0x85, 0x01, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0x85, 0x02, 0x95, 0x03, 0x09, 0x02,
                              0x81, 0x02, 0x85, 0x03, 0x95, 0x09, 0x09, 0x03, 0x91, 0x02, 0x85, 0x04, 0x95, 0x40,
                              0x09, 0x04, 0xB1, 0x02, 0xC0]),
    "keyboard": bytes([0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
                       0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
                       0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
                       0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0]),
    "mouse": bytes([0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03,
                    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x01,
                    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06,
                    0xC0, 0xC0]),
    "two_collections": bytes([0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02,
                              0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x14, 0x81,
                              0x02, 0xC0]),
    "push_pop_long_item": bytes([0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0xA4, 0x75, 0x01, 0xFE, 0x02,
                                 0x10, 0xAA, 0xBB, 0xB4, 0x95, 0x04, 0x81, 0x02, 0xC0]),
    "consumer_extended_usage": bytes([0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01,
                                      0x81, 0x02, 0xC0]),
}


def write_all(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    dispatch = {name: frame(0, block) for name, block in SINGLE.items()}
    dispatch.update(SESSIONS)
    write_all(os.path.join(here, "dispatch_fuzzer"), dispatch)
    write_all(os.path.join(here, "report_fuzzer"),
              {name: bytes([index]) + b"".join(report(length, r) for r in reports)
               for name, index, length, reports in PRODUCTS})
    write_all(os.path.join(here, "button_map_fuzzer"), MAP_FILES)
    write_all(os.path.join(here, "driver_list_fuzzer"), DRIVER_LISTS)
    write_all(os.path.join(here, "codec_fuzzer"), CODEC)
    write_all(os.path.join(here, "descriptor_fuzzer"), REPORT_DESCRIPTORS)


if __name__ == "__main__":
    main()
