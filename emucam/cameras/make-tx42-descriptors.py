#!/usr/bin/env python3
"""Writes tx42.bin: the TX42's USB descriptors as sysfs `descriptors` holds
them (device descriptor, then the configuration descriptor).

The camera: a camera terminal with exposure, absolute and relative zoom and
pan/tilt; a processing unit; the settings, zoom-motion and upgrade extension
units (ids 4, 5, 6) on the chain to the output terminal; MJPEG 800x600,
1280x720 and 1920x1080 at 30 frames/s and YUYV 640x480 and 800x600; a UAC 1
microphone (48 kHz mono)."""
import struct
import sys
import uuid


def guid(text):
    return uuid.UUID(text).bytes_le


def desc(kind, body):
    return bytes([len(body) + 2, kind]) + body


def cs_if(subtype, body):
    return desc(0x24, bytes([subtype]) + body)


def bitmap(selectors, size):
    value = 0
    for s in selectors:
        value |= 1 << (s - 1)
    return value.to_bytes(size, "little")


def xu(unit, guid_text, selectors, source, size):
    return cs_if(0x06, bytes([unit]) + guid(guid_text) + bytes([len(selectors), 1, source, size]) +
                 bitmap(selectors, size) + b"\x00")


def interface(number, alt, endpoints, cls, sub):
    return desc(0x04, bytes([number, alt, endpoints, cls, sub, 0, 0]))


def frame(subtype, index, width, height, intervals):
    size = width * height * 2
    return cs_if(subtype, struct.pack("<BBHHIIII", index, 0, width, height, size * 8 * 5, size * 8 * 30, size,
                                      intervals[0]) + bytes([len(intervals)]) +
                 b"".join(struct.pack("<I", i) for i in intervals))


FPS30, FPS20, FPS15 = 333333, 500000, 666666

# VideoControl
units = (
    cs_if(0x02, struct.pack("<BHBBHHHB", 1, 0x0201, 0, 0, 0, 0, 0, 3) +
          bitmap([2, 3, 4, 10, 11, 12, 13], 3)) +             # AE mode, AE priority, exposure, zoom, pan/tilt
    cs_if(0x05, struct.pack("<BBHB", 2, 1, 0, 2) + bitmap([1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 13], 2) + b"\x00") +
    xu(4, "A7A6A934-3A4A-4351-85F4-042EF2CDCAAB", [9, 10, 11, 13, 14, 15, 23, 24, 25, 26, 27], 2, 4) +
    xu(5, "9D33BBE7-E619-435C-8FAC-528EECCCBCA4", [12], 4, 2) +
    xu(6, "1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54", [1, 2, 3, 4, 5, 6, 7], 5, 1) +
    cs_if(0x03, struct.pack("<BHBBB", 3, 0x0101, 0, 6, 0)))
vc_header_len = 13
vc = (interface(0, 0, 1, 0x0E, 0x01) +
      cs_if(0x01, struct.pack("<HHIBB", 0x0100, vc_header_len + len(units), 48000000, 1, 1)) + units +
      desc(0x05, struct.pack("<BBHB", 0x83, 0x03, 16, 6)) + desc(0x25, struct.pack("<BH", 0x03, 16)))

# VideoStreaming
mjpeg = cs_if(0x06, bytes([1, 3, 1, 1, 0, 0, 0, 0])) + b"".join(
    frame(0x07, i + 1, w, h, [FPS30]) for i, (w, h) in enumerate([(800, 600), (1280, 720), (1920, 1080)]))
yuyv = (cs_if(0x04, bytes([2, 2]) + guid("32595559-0000-0010-8000-00AA00389B71") + bytes([16, 1, 0, 0, 0, 0])) +
        frame(0x05, 1, 640, 480, [FPS30, FPS15]) + frame(0x05, 2, 800, 600, [FPS20, FPS15]))
color = cs_if(0x0D, bytes([1, 1, 4]))
formats = mjpeg + color + yuyv + color
vs_header = cs_if(0x01, struct.pack("<BHBBBBBB", 2, 15 + len(formats), 0x81, 0, 3, 0, 0, 1) + b"\x00\x00")
vs = (interface(1, 0, 0, 0x0E, 0x02) + vs_header + formats +
      interface(1, 1, 1, 0x0E, 0x02) + desc(0x05, struct.pack("<BBHB", 0x81, 0x05, 0x1400, 1)))

# Audio: a microphone
ac_units = (cs_if(0x02, struct.pack("<BHBBHBB", 1, 0x0201, 0, 1, 0, 0, 0)) +
            cs_if(0x06, bytes([2, 1, 1, 0x03, 0x00, 0])) +
            cs_if(0x03, struct.pack("<BHBBB", 3, 0x0101, 0, 2, 0)))
ac = interface(2, 0, 0, 0x01, 0x01) + cs_if(0x01, struct.pack("<HHBB", 0x0100, 9 + len(ac_units), 1, 3)) + ac_units
asi = (interface(3, 0, 0, 0x01, 0x02) + interface(3, 1, 1, 0x01, 0x02) +
       cs_if(0x01, struct.pack("<BBH", 3, 1, 0x0001)) +
       cs_if(0x02, bytes([1, 1, 2, 16, 1]) + (48000).to_bytes(3, "little")) +
       desc(0x05, struct.pack("<BBHBBB", 0x82, 0x05, 96, 4, 0, 0)) + desc(0x25, bytes([1, 1, 0, 0, 0])))

iad_video = desc(0x0B, bytes([0, 2, 0x0E, 0x03, 0, 0]))
iad_audio = desc(0x0B, bytes([2, 2, 0x01, 0x00, 0, 0]))
body = iad_video + vc + vs + iad_audio + ac + asi
config = desc(0x02, struct.pack("<HBBBBB", 9 + len(body), 4, 1, 0, 0x80, 250)) + body
device = desc(0x01, struct.pack("<HBBBBHHHBBBB", 0x0200, 0xEF, 0x02, 0x01, 64, 0x9F2B, 0x0042, 0x0100, 1, 2, 3, 1))

out = sys.argv[1] if len(sys.argv) > 1 else "tx42.bin"
with open(out, "wb") as f:
    f.write(device + config)
