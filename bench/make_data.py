#!/usr/bin/env python3
"""The data bench/run.sh measures on.

  make_data.py tree DIR FILES MIB      FILES files in 20 directories, MIB MiB
  make_data.py small DIR FILES MIN MAX FILES files of MIN to MAX bytes
  make_data.py merge DIR RECORDS       installed and patch indexes with data
  make_data.py malformed DIR           damaged packages of under 1 KiB

Tree files are base64 text of random bytes (deflates to about three
quarters), one directory of repeated lines (deflates to almost nothing),
directories of 1x to 5x the smallest size.
"""
import base64
import io
import os
import random
import struct
import sys
import zipfile


def write_chunks(directory, sizes, make_bytes):
    os.makedirs(directory, exist_ok=True)
    for number, size in enumerate(sizes):
        with open(os.path.join(directory, "f%05d" % number), "wb") as out:
            out.write(make_bytes(size))


def text_of(size):
    return base64.encodebytes(os.urandom(size * 3 // 4 + 4))[:size]


def tree(root, files, mib):
    per_dir = files // 20
    line = base64.b64encode(os.urandom(48)) + b"\n"
    for d in range(20):
        weight = 1 + d % 5
        dir_bytes = mib * 1048576 * weight // 60
        size = dir_bytes // per_dir
        if d == 4:
            make = lambda n: (line * (n // len(line) + 1))[:n]
        else:
            make = text_of
        write_chunks(os.path.join(root, "d%02d" % d), [size] * per_dir, make)


def small(root, files, smallest, largest):
    rng = random.Random(7)
    per_dir = files // 20
    for d in range(20):
        sizes = [rng.randint(smallest, largest) for _ in range(per_dir)]
        write_chunks(os.path.join(root, "d%02d" % d), sizes, text_of)


def merge(root, records):
    """installed.dat(.i) with `records` entries, and a package's data and
    patch index of as many records: half replace an entry with one no
    longer, a quarter with a longer one, a quarter are new."""
    rng = random.Random(11)
    os.makedirs(root, exist_ok=True)
    header = bytes(range(136))
    data = bytearray()
    index = bytearray(header)
    lengths = []
    for _ in range(records):
        length = rng.randint(32, 160)
        index += struct.pack("<IIHHII", len(data), length, 1, 2, 3, 4)
        data += os.urandom(length)
        lengths.append(length)
    package = bytearray()
    patch = bytearray(header)
    for number in range(records):
        kind = number % 4
        target = rng.randrange(records)
        if kind < 2:
            length = rng.randint(0, lengths[target])
        elif kind == 2:
            length = lengths[target] + rng.randint(1, 64)
        else:
            target = records + number
            length = rng.randint(32, 160)
        patch += struct.pack("<IIHHIII", len(package), length, 5, 6, 7, 8, target)
        package += os.urandom(length)
    for name, content in (("installed.dat", data), ("installed.dat.i", index),
                          ("package.dat", package), ("package.dat.i", patch)):
        with open(os.path.join(root, name), "wb") as out:
            out.write(content)


def zip_bytes(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as archive:
        for name, content in entries:
            archive.writestr(name, content)
    return buffer.getvalue()


def malformed(root):
    """Packages whose central records, local headers, sizes or data lie;
    each under 1 KiB."""
    os.makedirs(root, exist_ok=True)
    base = zip_bytes([("a.txt", b"alpha" * 40), ("d/b.txt", b"beta" * 30)])
    first = base.index(b"PK\x01\x02")
    second = base.index(b"PK\x01\x02", first + 4)
    end = base.index(b"PK\x05\x06")
    stored = zip_bytes([("s.bin", b"s" * 100)], zipfile.ZIP_STORED)
    stored_record = stored.index(b"PK\x01\x02")

    def patched(source, *changes):
        out = bytearray(source)
        for at, value in changes:
            out[at:at + len(value)] = value
        return bytes(out)

    ffff = struct.pack("<H", 0xFFFF)
    inputs = {
        "extra_past_end": patched(base, (first + 30, ffff)),
        "extra_past_end_both": patched(base, (first + 30, ffff), (second + 30, ffff)),
        "comment_past_end": patched(base, (first + 32, ffff)),
        "local_extra_past_end": patched(base, (28, ffff)),
        "compressed_huge": patched(base, (first + 20, struct.pack("<I", 0x7FFFFFFF)),
                                   (18, struct.pack("<I", 0x7FFFFFFF))),
        "uncompressed_huge": patched(base, (first + 24, struct.pack("<I", 0xFFFFFFFE)),
                                     (22, struct.pack("<I", 0xFFFFFFFE))),
        "stored_huge": patched(stored, (stored_record + 20, struct.pack("<II", 0x7FFFFFF0,
                                                                        0x7FFFFFF0)),
                               (18, struct.pack("<II", 0x7FFFFFF0, 0x7FFFFFF0))),
        "claims_ffff": patched(base, (end + 8, struct.pack("<HH", 0xFFFF, 0xFFFF))),
        "zip64_sizes": patched(base, (first + 20, b"\xff" * 8)),
        "directory_offset_wrong": patched(base, (end + 16, struct.pack("<I", 3))),
        "directory_size_huge": patched(base, (end + 12, struct.pack("<I", 0xFFFFFF00))),
        "bad_deflate": patched(base, *[(35 + i, bytes([base[35 + i] ^ 0x5A])) for i in range(20)]),
        "many_small": zip_bytes([("x%d" % i, b"") for i in range(12)]),
    }
    for cut in (100, 200, len(base) - 30):
        inputs["cut_%d" % cut] = base[:cut] + base[end:]
    for name, content in inputs.items():
        assert len(content) < 1024, name
        with open(os.path.join(root, name), "wb") as out:
            out.write(content)


def main():
    kind, root = sys.argv[1], sys.argv[2]
    numbers = [int(value) for value in sys.argv[3:]]
    {"tree": tree, "small": small, "merge": merge, "malformed": malformed}[kind](root, *numbers)


if __name__ == "__main__":
    main()
