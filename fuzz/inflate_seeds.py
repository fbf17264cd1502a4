#!/usr/bin/env python3
"""Seed streams for inflate_fuzz: raw DEFLATE streams made by zlib.

    fuzz/inflate_seeds.py OUT_DIR

Varied payloads (text, binary, long runs, incompressible bytes, more than a
window's worth) at several levels and strategies, a stream of stored, fixed
and dynamic blocks, and two tiny hand-made streams. Each file is named by its
SHA-1, as libFuzzer names its own finds, so writing the seeds again into a
corpus that holds them changes nothing.
"""
import hashlib
import random
import sys
import zlib
from pathlib import Path


def sample_data():
    """Varied small payloads: text, binary, runs, incompressible bytes."""
    rng = random.Random(1951)
    words = b"the of and to in is that for it as with was on be by this archive entry".split()
    text = b" ".join(rng.choice(words) for _ in range(1500))
    return [
        b"",
        b"a",
        text,
        bytes(range(256)) * 8,
        bytes(rng.getrandbits(8) for _ in range(3000)),
        b"\0" * 40000,                     # long matches across the 32 KiB window
        b"ab" * 20000,
        bytes(rng.choice(b"ACGT") for _ in range(33000)),
        text[:700] + bytes(rng.getrandbits(8) for _ in range(300)) + text[:700],
    ]


def raw_deflate(data, level, strategy):
    compressor = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
    return compressor.compress(data) + compressor.flush()


def inflate_seeds():
    strategies = [zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED, zlib.Z_HUFFMAN_ONLY, zlib.Z_RLE,
                  zlib.Z_FIXED]
    seeds = []
    for index, data in enumerate(sample_data()):
        # Every payload at a few levels; the strategies on a rotating subset
        # to keep the corpus small.
        for level in (0, 1, 6, 9):
            if level == 0 and len(data) > 8192:
                continue  # large stored seeds would only raise libFuzzer's max_len
            seeds.append(raw_deflate(data, level, zlib.Z_DEFAULT_STRATEGY))
        seeds.append(raw_deflate(data, 6, strategies[index % len(strategies)]))
    # One stream of several blocks, whose kinds zlib picks by content: text
    # (dynamic), random bytes (stored), a short tail (fixed), with the empty
    # stored blocks of sync and full flushes between them.
    rng = random.Random(3)
    compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
    parts = [compressor.compress(b"first part, said twice; " * 40),
             compressor.flush(zlib.Z_SYNC_FLUSH),
             compressor.compress(bytes(rng.getrandbits(8) for _ in range(400))),
             compressor.flush(zlib.Z_FULL_FLUSH),
             compressor.compress(b"last"), compressor.flush()]
    seeds.append(b"".join(parts))
    seeds.append(b"\x03\x00")              # a fixed block holding only its end code
    seeds.append(b"\x01\x00\x00\xff\xff")  # an empty final stored block
    return seeds


def main(argv):
    if len(argv) != 2:
        print("usage: inflate_seeds.py OUT_DIR", file=sys.stderr)
        return 2
    folder = Path(argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for seed in inflate_seeds():
        (folder / hashlib.sha1(seed).hexdigest()).write_bytes(seed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
