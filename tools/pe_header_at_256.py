#!/usr/bin/env python3
"""Moves the PE header of a linked, stripped executable to file offset 256.

The package reader finds the PE signature at the fixed offset 256 and keeps
the package-end mark in bytes 248 to 255, so the header must sit there. The
linker cannot place it, so this post-link step moves the PE signature, the
file header, the optional header and the section table, zeroes what is left
of the old copy, sets e_lfanew and recomputes the image checksum.
Run it after stripping: strip or objcopy would undo it.
Both PE32 (the 32-bit stub) and PE32+ (the 64-bit test tree) are handled: the
PE32+ optional header is 16 bytes longer, but SizeOfHeaders and CheckSum sit
at the same offsets in both.
"""
import struct
import sys

TARGET = 0x100
MARK_START = 248
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B


def pe_checksum(data, checksum_offset):
    total = 0
    length = len(data)
    padded = data + b"\0" * (length % 2)
    for i in range(0, len(padded), 2):
        if checksum_offset <= i < checksum_offset + 4:
            continue
        total += padded[i] | (padded[i + 1] << 8)
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + length) & 0xFFFFFFFF


def move_header(path):
    data = bytearray(open(path, "rb").read())
    if data[:2] != b"MZ":
        sys.exit(f"{path}: not an MZ executable")
    lfanew = struct.unpack_from("<I", data, 0x3C)[0]
    if data[lfanew:lfanew + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE signature at e_lfanew {lfanew:#x}")
    sections, = struct.unpack_from("<H", data, lfanew + 6)
    opt_size, = struct.unpack_from("<H", data, lfanew + 20)
    opt = lfanew + 24
    magic, = struct.unpack_from("<H", data, opt)
    if magic not in (PE32_MAGIC, PE32_PLUS_MAGIC):
        sys.exit(f"{path}: optional header magic {magic:#x} is neither PE32 nor PE32+")
    size_of_headers, = struct.unpack_from("<I", data, opt + 60)
    table = opt + opt_size
    first_raw = min((struct.unpack_from("<I", data, table + 40 * i + 20)[0]
                     for i in range(sections)
                     if struct.unpack_from("<I", data, table + 40 * i + 16)[0]),
                    default=size_of_headers)
    length = 24 + opt_size + 40 * sections
    if TARGET + length > min(size_of_headers, first_raw):
        sys.exit(f"{path}: PE header of {length} bytes does not fit at {TARGET:#x}")
    if lfanew != TARGET:
        header = bytes(data[lfanew:lfanew + length])
        for i in range(lfanew, lfanew + length):
            data[i] = 0
        data[TARGET:TARGET + length] = header
        struct.pack_into("<I", data, 0x3C, TARGET)
    if lfanew > MARK_START:
        # The DOS stub used to run into the mark's bytes: clear them.
        data[MARK_START:TARGET] = b"\0" * (TARGET - MARK_START)
    if any(data[MARK_START:TARGET]):
        sys.exit(f"{path}: bytes 248 to 255 are not free")
    checksum_offset = TARGET + 24 + 64
    struct.pack_into("<I", data, checksum_offset, 0)
    struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data), checksum_offset))
    open(path, "wb").write(data)


if __name__ == "__main__":
    for p in sys.argv[1:]:
        move_header(p)
