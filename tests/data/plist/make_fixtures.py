#!/usr/bin/env python3
"""Writes the property-list fixtures of the kit's reader tests.

Well-formed files come from Python's plistlib, a second producer beside libplist; the
malformed ones are built byte by byte. Run from anywhere: files land beside this script.
"""
import datetime
import os
import plistlib
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def out(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def sample():
    return {
        "Name": "Phone 12,8",
        "Unicode": "Grüße — 日本語 🎉",
        "Empty": "",
        "Negative": -42,
        "MinInt64": -(2 ** 63),
        "MaxInt64": 2 ** 63 - 1,
        "Zero": 0,
        "Big": 4294967296,
        "Pi": 3.25,
        "NegativeReal": -0.125,
        "Huge": 1e300,
        "Yes": True,
        "No": False,
        "Bytes": bytes(range(256)),
        "EmptyBytes": b"",
        "Released": datetime.datetime(2026, 12, 8, 15, 46, 33),
        "Dates": [
            datetime.datetime(2001, 1, 1, 0, 0, 0),
            datetime.datetime(1990, 5, 17, 8, 30, 0),
            datetime.datetime(2100, 6, 1, 12, 0, 0),
            datetime.datetime(1900, 1, 1, 0, 0, 0),
        ],
        "BatteryLife": {
            "Audio Playback": {"Value": "40", "NumericValue": 40},
            "Talk": {"Value": "14"},
            "Nested": {"Deeper": {"Deepest": [1, [2, [3]]]}},
        },
        "EmptyArray": [],
        "EmptyDict": {},
    }


def binary(objects, root=0, ref_size=1, offset_size=None, count=None, table_offset=None):
    """A bplist00 file from already-encoded objects (marker bytes and payload)."""
    body = b"bplist00"
    offsets = []
    for o in objects:
        offsets.append(len(body))
        body += o
    if table_offset is None:
        table_offset = len(body)
    if offset_size is None:
        offset_size = 1 if len(body) < 256 else 2 if len(body) < 65536 else 4
    for off in offsets:
        body += off.to_bytes(offset_size, "big")
    n = len(objects) if count is None else count
    body += b"\0" * 6 + bytes([offset_size, ref_size]) + struct.pack(">QQQ", n, root, table_offset)
    return body


def nested_xml(depth):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n'
            + "<array>" * depth + "<string>bottom</string>" + "</array>" * depth + "\n</plist>\n").encode()


def nested_binary(depth):
    # Object i is a one-element array holding object i+1; the last is a string.
    objects = []
    for i in range(depth):
        objects.append(bytes([0xA1]) + (i + 1).to_bytes(2, "big"))
    objects.append(b"\x56bottom")
    return binary(objects, ref_size=2)


def main():
    sys.setrecursionlimit(20000)
    s = sample()
    xml = plistlib.dumps(s, fmt=plistlib.FMT_XML)
    binr = plistlib.dumps(s, fmt=plistlib.FMT_BINARY)
    out("sample.xml", xml)
    out("sample.bin", binr)
    out("array-root.xml", plistlib.dumps(["a", 1, 2.5], fmt=plistlib.FMT_XML))
    # One list referenced from three places: plistlib writes it once and refers to it thrice.
    shared = [1, "two", 3.0]
    out("shared-list.bin", plistlib.dumps({"a": shared, "b": shared, "c": shared}, fmt=plistlib.FMT_BINARY))
    out("bom.xml", b"\xef\xbb\xbf" + plistlib.dumps({"WithBOM": True}, fmt=plistlib.FMT_XML))

    # Malformed inputs.
    out("truncated.xml", xml[: len(xml) // 2])
    out("truncated.bin", binr[: len(binr) - 40])
    out("garbage.txt", bytes((i * 97 + 13) % 256 for i in range(512)))
    out("garbage.bin", b"bplist00" + bytes((i * 31 + 7) % 256 for i in range(200)))
    out("wrong-root.xml", b'<?xml version="1.0"?>\n<html><body><p>Not found</p></body></html>\n')
    out("unknown-element.xml", b'<?xml version="1.0"?>\n<plist version="1.0"><widget>1</widget></plist>\n')
    out("deep600.xml", nested_xml(600))
    out("deep600.bin", nested_binary(600))
    # A data object that declares 2^62 bytes.
    out("huge-length.bin", binary([b"\x4f\x13" + (2 ** 62).to_bytes(8, "big") + b"abc"]))
    # An array that declares 2^40 elements.
    out("huge-count.bin", binary([b"\xaf\x13" + (2 ** 40).to_bytes(8, "big") + b"\x00"]))
    # An array that holds itself.
    out("cycle.bin", binary([b"\xa2\x00\x01", b"\x51x"]))
    # Sixty levels of arrays holding the next level twice: tiny on disk, 2^60 nodes expanded.
    bomb = [bytes([0xA2, i + 1, i + 1]) for i in range(60)] + [b"\x51x"]
    out("reference-bomb.bin", binary(bomb))
    # Sixteen levels: 2^17 nodes, small enough to hold in memory but far beyond the file's size.
    small_bomb = [bytes([0xA2, i + 1, i + 1]) for i in range(16)] + [b"\x51x"]
    out("reference-bomb-small.bin", binary(small_bomb))
    # Strings that are not clean text: a NUL inside, a high byte in an ASCII key, a lone surrogate.
    out("nul-in-string.bin", plistlib.dumps({"a": "x\0y"}, fmt=plistlib.FMT_BINARY))
    out("high-byte-key.bin", binary([b"\xd1\x01\x02", b"\x52\x92\xe6", b"\x10\x01"]))
    out("lone-surrogate.bin", binary([b"\xa1\x01", b"\x62\xd8\x3c\x00\x41"]))
    # A trailer whose offset table lies past the end of the file.
    out("bad-trailer.bin", binary([b"\x51x"], table_offset=5000))
    # A reference past the last object.
    out("bad-reference.bin", binary([b"\xa1\x07", b"\x51x"]))


if __name__ == "__main__":
    main()
