#!/usr/bin/env python3
"""Writes an empty registry hive file (regf): a root key and its security cell, nothing else.

hivex cannot create a hive, only change one; the offline-machine test fills this one with
`hivexregedit --merge` to stand in for the SYSTEM hive of a Windows disk image.

    empty_hive.py OUT
"""
import struct
import sys

BLOCK = 4096
HBIN_HEADER = 32
NO_CELL = 0xFFFFFFFF


def cell(payload: bytes) -> bytes:
    """An allocated cell: negative size (4 bytes included), padded to 8 bytes."""
    size = (4 + len(payload) + 7) // 8 * 8
    return struct.pack("<i", -size) + payload.ljust(size - 4, b"\0")


def main(out: str) -> None:
    root_name = b"ROOT"
    # Cell offsets are relative to the first hive bin.
    sk_offset = HBIN_HEADER
    # A self-relative security descriptor with no owner, group or access lists.
    descriptor = struct.pack("<BBHIIII", 1, 0, 0x8000, 0, 0, 0, 0)
    # The only security cell links to itself both ways; the root key uses it once.
    sk = cell(b"sk" + struct.pack("<HIIII", 0, sk_offset, sk_offset, 1, len(descriptor)) + descriptor)
    nk_offset = sk_offset + len(sk)
    nk = cell(
        b"nk"
        + struct.pack(
            "<HQ15IHH",
            0x2C,  # hive entry, cannot be deleted, ASCII name
            0,  # last written
            0,  # access bits
            NO_CELL,  # parent
            0, 0,  # subkeys, volatile subkeys
            NO_CELL, NO_CELL,  # their lists
            0, NO_CELL,  # values and their list
            sk_offset,
            NO_CELL,  # class name
            0, 0, 0, 0,  # largest subkey name, class, value name, value data
            0,  # work variable
            len(root_name), 0,
        )
        + root_name
    )
    used = HBIN_HEADER + len(sk) + len(nk)
    free = struct.pack("<i", BLOCK - used).ljust(BLOCK - used, b"\0")
    hbin = b"hbin" + struct.pack("<IIQQI", 0, BLOCK, 0, 0, 0) + sk + nk + free
    assert len(hbin) == BLOCK

    base = bytearray(BLOCK)
    struct.pack_into("<4sIIQIIIIIII", base, 0, b"regf", 1, 1, 0, 1, 3, 0, 1, nk_offset, BLOCK, 1)
    checksum = 0
    for (word,) in struct.iter_unpack("<I", bytes(base[:0x1FC])):
        checksum ^= word
    struct.pack_into("<I", base, 0x1FC, checksum)

    with open(out, "wb") as f:
        f.write(bytes(base) + hbin)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
