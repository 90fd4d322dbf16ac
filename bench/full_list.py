#!/usr/bin/env python3
"""Writes the full list the start-up measurements open: 9999 words, every text 100 characters
(about 4 MB). Usage: full_list.py FILE"""
import sys

out = bytearray(b"VKB Vokabeldatei\r\n")
for i in range(1, 10000):
    texts = [(f"{kind}{i:05d} " * 20)[:100] for kind in ("Deutsch", "Fremd", "Synonym", "Hinweis")]
    lines = [str(i % 6 + 1), str(i % 10)] + texts
    out += "".join(t + "\r\n" for t in lines).encode("cp1252")
open(sys.argv[1], "wb").write(out)
