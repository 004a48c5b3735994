#!/usr/bin/env python3
"""Writes single-damage variants of a RealMedia file into a folder, one file each, named after the
damage: cuts at every percent and inside every header chunk, every header chunk's size and the fields
of PROP and the stream headers set to 0, 1, one off and 0xFFFFFFFF, the RealAudio headers' fields,
the CONT text lengths, the DATA chain's sizes, counts and next pointers, and the packet headers one
at a time (every 50th packet of each stream) and in runs of two, every packet of a stream doubled,
a stream header's number made another's, and the codec letters and MIME types changed.
Usage: damage_variants.py INPUT.ra OUTDIR"""
import os
import struct
import sys


def chunks(b):
    out, at = [], 0
    while at + 10 <= len(b):
        cid, size = b[at:at + 4], struct.unpack(">I", b[at + 4:at + 8])[0]
        out.append((cid, at, size))
        if cid == b"DATA":
            nxt = struct.unpack(">I", b[at + 14:at + 18])[0]
            if nxt <= at or nxt >= len(b):
                break
            at = nxt
            continue
        if size < 10:
            break
        at += size
    return out


def packets(b, data_chunks):
    out = []
    for _, at, size in data_chunks:
        p, end = at + 18, min(len(b), at + size)
        while p + 12 <= end:
            length = struct.unpack(">H", b[p + 2:p + 4])[0]
            if length < 12:
                break
            out.append((p, struct.unpack(">H", b[p + 4:p + 6])[0]))
            p += length
    return out


def main():
    src, outdir = sys.argv[1], sys.argv[2]
    base = open(src, "rb").read()
    stem = os.path.splitext(os.path.basename(src))[0]
    os.makedirs(outdir, exist_ok=True)
    count = 0

    def emit(name, data):
        nonlocal count
        with open(os.path.join(outdir, "%s--%s.ra" % (stem, name)), "wb") as f:
            f.write(data)
        count += 1

    def field(name, at, value, width):
        if at + width > len(base):
            return
        b = bytearray(base)
        b[at:at + width] = (value & ((1 << (8 * width)) - 1)).to_bytes(width, "big")
        emit("%s-at%d-%x" % (name, at, value), bytes(b))

    cs = chunks(base)
    data = [c for c in cs if c[0] == b"DATA"]
    for pct in range(1, 100):
        emit("cut%02d" % pct, base[:len(base) * pct // 100])
    for cid, at, size in cs:
        tag = cid.decode("latin-1").strip(".\0") or "x"
        for into in (0, 4, 10, 20):
            emit("cut-%s-at%d" % (tag, at + into), base[:at + into])
        for v in (0, 1, 9, size - 1, size + 1, 0xFFFFFFFF):
            field("size-" + tag, at + 4, v, 4)
        if cid == b"PROP":
            for k in range(9):
                for v in (0, 1, 0xFFFFFFFF):
                    field("prop%d" % k, at + 10 + 4 * k, v, 4)
        if cid == b"MDPR":
            for v in (0, 1, 2, 3, 0xFFFF):
                field("number", at + 10, v, 2)
            for k in range(7):
                for v in (0, 1, 30000, 0xFFFFFFFF):
                    field("mdpr%d" % k, at + 12 + 4 * k, v, 4)
            dl = base[at + 40]
            field("mime-letter", at + 42 + dl, 0x78, 1)
            ra = base.find(b".ra\xfd", at, at + size)
            if ra >= 0:
                for off in (4, 24, 40, 42, 44, 48, 54, 60):
                    for v in (0, 1, 0xFFFF):
                        field("ra%d" % off, ra + off, v, 2)
                for letters in (b"cook", b"atrc", b"sipr", b"28_8", b"raac", b"dnet"):
                    i = base.find(b"cook", ra, ra + 80)
                    j = i if i >= 0 else base.find(b"raac", ra, ra + 80)
                    if j >= 0:
                        b = bytearray(base)
                        b[j:j + 4] = letters
                        emit("fourcc-at%d-%s" % (j, letters.decode()), bytes(b))
        if cid == b"CONT":
            p = at + 10
            for k in range(4):
                if p + 2 > len(base):
                    break
                n = struct.unpack(">H", base[p:p + 2])[0]
                for v in (n + 1, 0xFFFF):
                    field("cont%d" % k, p, v, 2)
                p += 2 + n
        if cid == b"DATA":
            for v in (0, 1, 0xFFFFFFFF):
                field("count", at + 10, v, 4)
            for v in (0, 1, at, at + 18, at + 100, len(base), 0xFFFFFFFF):
                field("next", at + 14, v, 4)
    ps = packets(base, data)
    seen = {}
    for k, (p, stream) in enumerate(ps):
        seen[stream] = seen.get(stream, 0) + 1
        if seen[stream] % 50 != 1:
            continue
        for v in (2, 0xFFFF):
            field("pversion", p, v, 2)
        for v in (0, 11, 12, 13, 0xFFFF):
            field("plength", p + 2, v, 2)
        for v in (1 - stream, 77):
            field("pstream", p + 4, v, 2)
        field("ptime", p + 6, 0xFFFFFFFF, 4)
        if k + 1 < len(ps):
            b = bytearray(base)
            b[p + 6:p + 10] = (0xF00000).to_bytes(4, "big")
            b[ps[k + 1][0] + 6:ps[k + 1][0] + 10] = (0xF00100).to_bytes(4, "big")
            emit("ptime2-at%d" % p, bytes(b))
    # Every packet of a stream doubled, inside its own DATA chunk.
    for n, (_, at, size) in enumerate(data):
        body = bytearray()
        p, end = at + 18, min(len(base), at + size)
        while p + 12 <= end:
            length = struct.unpack(">H", base[p + 2:p + 4])[0]
            if length < 12:
                break
            body += base[p:p + length] * 2
            p += length
        head = bytearray(base[at:at + 18])
        head[4:8] = (18 + len(body)).to_bytes(4, "big")
        b = base[:at] + bytes(head) + bytes(body)
        emit("doubled-data%d" % n, b)
    print(count)


main()
