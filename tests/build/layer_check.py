#!/usr/bin/env python3
"""The layers hold in the build: a folder's code compiles with the include directories the
build gives it, and an include of a higher layer fails there.

Usage: layer_check.py <build dir> <source dir>
"""
import json
import os
import shlex
import subprocess
import sys
import tempfile

# (folder whose code includes, header it includes, whether that may compile)
PROBES = [
    ("store", "store/TSettings.h", True),
    ("store", "ui/ErrorDisplay.h", False),
    ("store", "notes/TfrmSuchen.h", False),
    ("store", "platform/TrayIcon.h", False),
    ("store", "QWidget", False),  # no widgets below the windows
    ("ui", "ui/ErrorDisplay.h", True),
    ("ui", "store/TDataModuleNotizen.h", False),
    ("info", "info/TExeInfo.h", True),
    ("info", "app/TfrmMain.h", False),
    ("notes", "store/TDataModuleNotizen.h", True),
    ("notes", "admin/TfrmVerwaltung.h", False),
    ("admin", "update/TfrmUpdate.h", False),
    ("app", "notes/TfrmSuchen.h", True),
]


def command_for(commands, source_dir, folder):
    prefix = os.path.join(source_dir, folder) + os.sep
    for entry in commands:
        if entry["file"].startswith(prefix) and entry["file"].endswith(".cpp") and "_autogen" not in entry["file"]:
            return entry
    return None


def probe(entry, header):
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    # Drop the output and the source of the original command, keep every flag.
    kept, skip = [], False
    for a in args:
        if skip:
            skip = False
            continue
        if a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
            continue
        if a in ("-c", "-MD", "-MMD") or a == entry["file"]:
            continue
        kept.append(a)
    include = f"<{header}>" if "/" not in header else f'"{header}"'
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as f:
        f.write(f"#include {include}\n")
        name = f.name
    try:
        r = subprocess.run(kept + ["-fsyntax-only", name], cwd=entry["directory"], capture_output=True, text=True)
        return r.returncode == 0, r.stderr.strip().splitlines()[:1]
    finally:
        os.unlink(name)


def main():
    build, source = sys.argv[1], os.path.realpath(sys.argv[2])
    with open(os.path.join(build, "compile_commands.json")) as f:
        commands = json.load(f)
    failures = 0
    for folder, header, may in PROBES:
        entry = command_for(commands, source, folder)
        if entry is None:
            print(f"FAIL: no compile command for a source of {folder}/")
            failures += 1
            continue
        ok, first = probe(entry, header)
        verdict = "compiles" if ok else "fails"
        print(f"{folder}/ including {header}: {verdict}" + ("" if ok else f" ({first[0] if first else ''})"))
        if ok != may:
            print(f"FAIL: {folder}/ including {header} should {'compile' if may else 'fail'}")
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
