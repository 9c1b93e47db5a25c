#!/usr/bin/env python3
"""A link's outputs kept for the next link of the same inputs, in this clone or another: the
page's link (emscripten's, with Asyncify and wasm-opt) takes a minute where a copy takes none.

Usage (CMAKE_CXX_LINKER_LAUNCHER): scripts/link-cache.py LINKER ARGUMENT...

The key is the linker's version, the EM* environment, the arguments (with the clone's folder
taken out) and the content of every file or folder they name, however they name it (a plain
path, OPTION=PATH, PATH@WHERE for a preloaded file). The outputs are the files beside -o's
that share its name up to the first dot and that the link wrote (tavlo.js, tavlo.wasm,
tavlo.data). Kept in ${XDG_CACHE_HOME:-~/.cache}/tavlo/links (the 20 newest); TAVLO_LINK_CACHE=0
links every time."""

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

KEEP = 20


def digest_path(digest, path):
    if path.is_dir():
        for child in sorted(path.rglob("*")):
            if child.is_file():
                digest.update(b"\0file\0" + str(child.relative_to(path)).encode())
                digest.update(child.read_bytes())
    else:
        digest.update(path.read_bytes())


def named_paths(arg):
    """The existing files or folders ARG may name."""
    candidates = [arg]
    if "=" in arg:
        candidates.append(arg.split("=", 1)[1])
    if "@" in arg:
        candidates.append(arg.split("@", 1)[0])
    return [Path(c) for c in candidates if c and not c.startswith("-") and os.path.exists(c)]


def outputs(args):
    for i, arg in enumerate(args):
        if arg == "-o" and i + 1 < len(args):
            return Path(args[i + 1])
    return None


def produced(output):
    stem = output.name.split(".", 1)[0]
    folder = output.parent if str(output.parent) else Path(".")
    return {p.name: p.stat().st_mtime_ns for p in folder.glob(stem + ".*") if p.is_file()}


def main():
    command = sys.argv[1:]
    if not command:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    output = outputs(command)
    if os.environ.get("TAVLO_LINK_CACHE", "1") == "0" or output is None:
        return subprocess.call(command)
    root = str(Path(__file__).resolve().parents[1])  # the clone this script is in
    digest = hashlib.sha256()
    version = subprocess.run([command[0], "--version"], capture_output=True, check=False)
    digest.update(version.stdout)
    for name in sorted(os.environ):
        if name.startswith("EM"):
            digest.update(f"\0env\0{name}={os.environ[name]}".encode())
    for arg in command:
        digest.update(b"\0arg\0" + arg.replace(root, "@ROOT@").encode())
        for path in named_paths(arg):
            if path != output:
                digest.update(b"\0content\0")
                digest_path(digest, path)
    key = digest.hexdigest()
    base = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache")
    cache = base / "tavlo" / "links"
    kept = cache / key
    folder = output.parent
    if (kept / ".complete").is_file():
        for file in kept.iterdir():
            if file.name != ".complete":
                shutil.copy2(file, folder / file.name)
                os.utime(folder / file.name)
        os.utime(kept)
        return 0
    before = produced(output)
    status = subprocess.call(command)
    if status != 0:
        return status
    after = produced(output)
    written = [name for name, mtime in after.items() if before.get(name) != mtime]
    cache.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(dir=cache))
    for name in written:
        shutil.copy2(folder / name, work / name)
    (work / ".complete").touch()
    try:
        work.rename(kept)
    except OSError:  # kept by a link beside this one meanwhile
        shutil.rmtree(work, ignore_errors=True)
    entries = sorted((p for p in cache.iterdir() if p.is_dir()), key=lambda p: p.stat().st_mtime)
    for old in entries[:-KEEP]:
        shutil.rmtree(old, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
