#!/usr/bin/env python3
"""clang-tidy over the files of a build's compile commands that lie in the given folders, each
file's verdict kept for the next run, in this clone or another.

Usage: scripts/tidy.py BUILD FOLDER...

A file is checked again unless a run before found it clean with exactly what clang-tidy would
see now: the key is clang-tidy's and clang's versions, every .clang-tidy from the file's folder
up, and for each of the file's compile commands its arguments and its preprocessed text (the
file and every header it reads, as clang reads them), with the clone's own folder taken out so
that clones elsewhere share the verdicts. Only clean verdicts are kept (with what clang-tidy
said, shown again): a file that fails is checked every time, as a run without the cache would.
The verdicts are kept in ${XDG_CACHE_HOME:-~/.cache}/tavlo/clang-tidy; those unused for 30
days are removed. TAVLO_TIDY_CACHE=0 checks every file."""

import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# Arguments that make or name the compile's output files: left out of the preprocessing (which
# must not write the build's dependency files) and of the key.
OUTPUT_FLAGS_WITH_VALUE = {"-o", "-MF", "-MT", "-MQ"}
OUTPUT_FLAGS = {"-c", "-MD", "-MMD"}


def tool_version(tool):
    return subprocess.run([tool, "--version"], capture_output=True, text=True, check=True).stdout


def arguments(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def compile_arguments(args):
    """The compile's own arguments, without the compiler and the output files."""
    kept = []
    skip = False
    for arg in args[1:]:
        if skip:
            skip = False
        elif arg in OUTPUT_FLAGS_WITH_VALUE:
            skip = True
        elif arg in OUTPUT_FLAGS or arg.startswith("-o"):
            continue
        else:
            kept.append(arg)
    return kept


def configs(source):
    """Every .clang-tidy clang-tidy may read for SOURCE, nearest first."""
    found = []
    for folder in source.parents:
        config = folder / ".clang-tidy"
        if config.is_file():
            found.append(config.read_bytes())
    return found


class Tidy:
    def __init__(self, build, root):
        self.build = build
        self.root = str(root)
        self.tidy = os.environ.get("CLANG_TIDY", "clang-tidy")
        self.clang = os.environ.get("CLANG", "clang++")
        base = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache")
        self.cache = base / "tavlo" / "clang-tidy"
        self.use_cache = os.environ.get("TAVLO_TIDY_CACHE", "1") != "0"
        self.versions = (tool_version(self.tidy) + tool_version(self.clang)).encode()

    def normal(self, data):
        return data.replace(self.root.encode(), b"@ROOT@")

    def key(self, source, entries):
        """The key of SOURCE's verdict, or None when a compile command cannot be preprocessed."""
        digest = hashlib.sha256(self.versions)
        for config in configs(source):
            digest.update(b"\0config\0" + config)
        for entry in entries:
            args = compile_arguments(arguments(entry))
            digest.update(b"\0args\0" + self.normal("\0".join(args).encode()))
            done = subprocess.run([self.clang, *args, "-E", "-o", "-"], cwd=entry["directory"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
            if done.returncode != 0:
                return None
            digest.update(b"\0text\0" + self.normal(done.stdout))
        return digest.hexdigest()

    def check(self, source, entries):
        """(passed, what clang-tidy said, from the cache)"""
        key = self.key(source, entries) if self.use_cache else None
        kept = self.cache / key[:2] / key if key else None
        if kept and kept.is_file():
            os.utime(kept)
            return True, kept.read_text(), True
        done = subprocess.run([self.tidy, "-quiet", "-p", str(self.build), str(source)],
                              capture_output=True, text=True, check=False)
        said = done.stdout + done.stderr
        if done.returncode == 0 and kept:
            kept.parent.mkdir(parents=True, exist_ok=True)
            with tempfile.NamedTemporaryFile("w", dir=kept.parent, delete=False) as out:
                out.write(said)
            os.replace(out.name, kept)
        return done.returncode == 0, said, False

    def forget_old(self):
        if not self.cache.is_dir():
            return
        old = time.time() - 30 * 24 * 3600
        for kept in self.cache.glob("*/*"):
            if kept.stat().st_mtime < old:
                kept.unlink(missing_ok=True)


def main():
    if len(sys.argv) < 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    build = Path(sys.argv[1]).resolve()
    folders = [str(Path(folder).resolve()) + os.sep for folder in sys.argv[2:]]
    root = Path.cwd().resolve()
    by_file = {}
    for entry in json.loads((build / "compile_commands.json").read_text()):
        source = Path(entry["directory"], entry["file"]).resolve()
        if any(str(source).startswith(folder) for folder in folders):
            by_file.setdefault(source, []).append(entry)
    tidy = Tidy(build, root)
    tidy.forget_old()
    failed = 0
    kept = 0
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        futures = {pool.submit(tidy.check, source, entries): source
                   for source, entries in sorted(by_file.items())}
        for future in concurrent.futures.as_completed(futures):
            passed, said, cached = future.result()
            kept += cached
            if not passed:
                failed += 1
                sys.stdout.write(said)
    print(f"clang-tidy: {len(by_file)} files, {kept} clean as before, {failed} failing",
          file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
