#!/usr/bin/env python3
"""Prints a Windows shortcut's (.lnk) target and arguments, one a line:
   target: C:\\...\\tavlo.exe
   arguments: ...
(the Shell Link format: the header's flags, then the item list, the link info with the target's
local path, and the counted UTF-16 strings)."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
if len(data) < 76 or struct.unpack_from("<I", data, 0)[0] != 0x4C:
    sys.exit("not a shortcut")
flags = struct.unpack_from("<I", data, 20)[0]
unicode = bool(flags & 0x80)
at = 76
if flags & 0x01:  # HasLinkTargetIDList
    at += 2 + struct.unpack_from("<H", data, at)[0]
target = ""
if flags & 0x02:  # HasLinkInfo
    size, _, info_flags, _, base = struct.unpack_from("<IIIII", data, at)
    if info_flags & 0x01:
        end = data.index(b"\0", at + base)
        target = data[at + base:end].decode("mbcs" if sys.platform == "win32" else "latin-1")
    at += size
strings = {}
for bit, name in ((0x04, "name"), (0x08, "relative"), (0x10, "folder"), (0x20, "arguments"),
                  (0x40, "icon")):
    if flags & bit:
        count = struct.unpack_from("<H", data, at)[0]
        width = 2 if unicode else 1
        raw = data[at + 2:at + 2 + count * width]
        strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
        at += 2 + count * width
print("target: " + target)
print("arguments: " + strings.get("arguments", ""))
