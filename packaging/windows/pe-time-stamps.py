#!/usr/bin/env python3
"""Sets the time stamps that a PE file (.exe, .dll) stores to
SOURCE_DATE_EPOCH: the file header's, which strip writes anew from the
clock, and the export table's, which the linker fills with the time of the
link (Qt's DLLs, from the cache of scripts/qt-for-windows.sh, have it); then
the header's checksum, when the file has one, is computed again.

Usage: SOURCE_DATE_EPOCH=<seconds> pe-time-stamps.py FILE...
"""
import os
import struct
import sys


def section_offset(data, sections, count, rva):
    """The file offset of a relative virtual address, or None."""
    for header in range(sections, sections + 40 * count, 40):
        size, address, raw_size, raw = struct.unpack_from("<IIII", data, header + 8)
        if address <= rva < address + max(size, raw_size):
            return raw + rva - address
    return None


def checksum(data):
    """The PE checksum of data whose checksum field is 0: its 16-bit words
    summed with end-around carries, plus its length."""
    total = sum(memoryview(data + b"\0" * (len(data) % 2)).cast("H"))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def set_stamps(path, stamp):
    with open(path, "rb") as file:
        data = bytearray(file.read())
    header = struct.unpack_from("<I", data, 0x3C)[0] + 4  # after "PE\0\0"
    count, = struct.unpack_from("<H", data, header + 2)
    optional_size, = struct.unpack_from("<H", data, header + 16)
    optional = header + 20
    plus = struct.unpack_from("<H", data, optional)[0] == 0x20B  # PE32+
    directories = optional + (112 if plus else 96)
    struct.pack_into("<I", data, header + 4, stamp)
    exports, = struct.unpack_from("<I", data, directories)
    if exports:
        table = section_offset(data, optional + optional_size, count, exports)
        if table is not None:
            struct.pack_into("<I", data, table + 4, stamp)
    field = optional + 64
    if struct.unpack_from("<I", data, field)[0]:
        struct.pack_into("<I", data, field, 0)
        struct.pack_into("<I", data, field, checksum(bytes(data)))
    with open(path, "wb") as file:
        file.write(data)


stamp = int(os.environ["SOURCE_DATE_EPOCH"])
for name in sys.argv[1:]:
    set_stamps(name, stamp)
