#!/usr/bin/env python3
"""Writes a TNEF file whose compressed RTF body expands to SIZE bytes (64 MiB by
default) from about an eighth of that: one run of a letter, every reference
copying the 17 bytes before it. With --meeting the message is a meeting
request, so that a calendar file is made of it.

    python3 bench/gen_rtf_body.py OUTPUT [--meeting] [--html] [SIZE]
"""
import struct
import sys
import zlib

args = [a for a in sys.argv[1:] if not a.startswith('--')]
meeting = '--meeting' in sys.argv
html = '--html' in sys.argv
out_path = args[0]
size = int(args[1]) if len(args) > 1 else 64 * 1024 * 1024

head = b'{\\rtf1\\ansi\\fromhtml1 ' if html else b'{\\rtf1\\ansi '
seed = head + b'A' * (17 + (-(len(head) + 17) % 8))  # whole runs of eight literals
data = bytearray()
pos = 207
for i in range(0, len(seed), 8):
    chunk = seed[i:i + 8]
    data.append(0)
    data += chunk
    pos += len(chunk)
made = len(seed)
refs = (size - made - 1) // 17 // 8 * 8  # whole runs of eight references
while refs > 0:
    n = min(refs, 8)
    data.append((1 << n) - 1)
    for _ in range(n):
        word = (((pos - 17) % 4096) << 4) | 15
        data += struct.pack('>H', word)
        pos = (pos + 17) % 4096
    made += 17 * n
    refs -= n
# A literal closes the group, then the reference to the write position ends the data.
data += b'\x02}' + struct.pack('>H', ((pos + 1) % 4096) << 4)
made += 1
# LZFu's CRC-32 has no initial or final inversion: undo zlib's.
crc = zlib.crc32(bytes(data), 0xFFFFFFFF) ^ 0xFFFFFFFF
prop = struct.pack('<IIII', len(data) + 12, made, 0x75465A4C, crc) + bytes(data)


def obj(level, attribute, payload):
    return (struct.pack('<BII', level, attribute, len(payload)) + payload
            + struct.pack('<H', sum(payload) & 0xFFFF))


block = struct.pack('<I', 1) + struct.pack('<HHII', 0x0102, 0x1009, 1, len(prop)) + prop
block += b'\0' * (-len(prop) % 4)
with open(out_path, 'wb') as f:
    f.write(struct.pack('<IH', 0x223E9F78, 0))
    f.write(obj(1, 0x00018004, b'Big body\0'))
    if meeting:
        f.write(obj(1, 0x00078008, b'IPM.Schedule.Meeting.Request\0'))
    f.write(obj(1, 0x00069003, block))
