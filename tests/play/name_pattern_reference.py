#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Independent model of a player's name pattern: the CRC-32 of the name's
UTF-8 bytes seeds the generator, and 64 draws of 0 or 1 give bits 0 to 63.
Produces the known answers in player_test.cpp."""

import os
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "runtime"))
from random_reference import Generator  # noqa: E402


def name_pattern(name):
    g = Generator(zlib.crc32(name.encode("utf-8")))
    pattern = 0
    for bit in range(64):
        if g.int(0, 1) == 1:
            pattern |= 1 << bit
    return pattern


if __name__ == "__main__":
    for name in ["Player1", "Player2", "", "Zoë"]:
        print(f"{name!r}: crc32 0x{zlib.crc32(name.encode('utf-8')):08X}"
              f" pattern 0x{name_pattern(name):016X}")
