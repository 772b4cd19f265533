#!/usr/bin/python3
"""Checks the program's includes against the folder table.

Every #include, quoted or in angle brackets, of a source in one of the
program's folders must name a header that the folder may use, after its path
is resolved as the compiler resolves it (beside the source first, "." and
".." taken out); palette/, mail/, pictures/ and host/ use no Qt Widgets
header. A folder of sources that the table does not name is an error too.
Prints each include that breaks the table, with its file and line, and fails.

  check_includes.py SOURCE_DIR QT_WIDGETS_INCLUDE_DIR
"""
import os
import re
import sys

# The folders each folder may include, besides itself; "folder/File.h" names
# one header only.
ALLOWED = {
    "app": {"email", "dialogs", "capture", "palette", "mail", "pictures", "forms", "host"},
    "email": {"dialogs", "mail", "pictures", "forms", "host"},
    "dialogs": {"pictures", "forms", "host"},
    "capture": {"palette", "pictures", "forms", "host"},
    "palette": set(),
    "mail": {"host/HostError.h", "host/Settings.h", "host/Conversions.h", "host/Files.h", "host/SyncAhead.h"},
    "forms": {"pictures", "host"},
    "pictures": {"host"},
    "host": set(),
}
NO_WIDGETS = {"palette", "mail", "pictures", "host"}
# Folders that are not part of the program and may use all of it.
OUTSIDE = {"tests", "bench", "fuzz", "docs", "packaging", "resources", "scripts"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE = re.compile(r"\.(h|hpp|cpp|cc|cxx)$")


def program_folders(source_dir):
    for name in sorted(os.listdir(source_dir)):
        path = os.path.join(source_dir, name)
        if name.startswith((".", "build")) or name in OUTSIDE or not os.path.isdir(path):
            continue
        if any(SOURCE.search(f) for _, _, files in os.walk(path) for f in files):
            yield name


def resolved(source_dir, folder, kind, header):
    """The include as a path from the source root, or None for a header
    that is not in the tree."""
    # Beside the source only where the file system finds it, as a compiler
    # does ("palette/../host" needs a folder palette/palette).
    if kind == '"' and os.path.exists(os.path.join(source_dir, folder, header)):
        return os.path.normpath(os.path.join(folder, header))
    path = os.path.normpath(header)
    if os.path.exists(os.path.join(source_dir, path)) or path.split(os.sep)[0] in ALLOWED:
        return path
    return None


def problems(source_dir, widgets_dir):
    for folder in program_folders(source_dir):
        if folder not in ALLOWED:
            yield "%s/: a folder that the table does not name" % folder
            continue
        allowed = ALLOWED[folder]
        for root, _, files in os.walk(os.path.join(source_dir, folder)):
            for name in sorted(f for f in files if SOURCE.search(f)):
                path = os.path.relpath(os.path.join(root, name), source_dir)
                with open(os.path.join(source_dir, path), encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        kind, header = match.groups()
                        target = resolved(source_dir, os.path.dirname(path), kind, header)
                        if target is not None:
                            top = target.split(os.sep)[0]
                            if top != folder and top not in allowed and target not in allowed:
                                yield "%s:%d: %s may not include %s" % (path, number, folder, header)
                        elif folder in NO_WIDGETS and (
                                os.path.exists(os.path.join(widgets_dir, header))
                                or header.split("/")[0] == "QtWidgets"):
                            yield "%s:%d: %s may not use Qt Widgets (%s)" % (path, number, folder, header)


def main():
    found = list(problems(sys.argv[1], sys.argv[2]))
    for problem in found:
        print(problem)
    print("%d include(s) against the folder table" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
