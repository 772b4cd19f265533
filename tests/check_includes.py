#!/usr/bin/python3
"""Checks the program's includes against the folder table.

Every #include "..." of a source in one of the program's folders must name a
header that the folder may use; palette/ and mail/ use no Qt Widgets header.
Prints each include that breaks the table, with its file and line, and fails.

  check_includes.py SOURCE_DIR QT_WIDGETS_INCLUDE_DIR
"""
import os
import re
import sys

# The folders each folder may include, besides itself; "folder/File.h" names
# one header only.
ALLOWED = {
    "app": {"email", "dialogs", "capture", "palette", "mail", "host"},
    "email": {"dialogs", "mail", "host"},
    "dialogs": {"host"},
    "capture": {"palette", "host"},
    "palette": set(),
    "mail": {"host/HostError.h", "host/Settings.h", "host/Conversions.h", "host/Files.h"},
    "host": set(),
}
NO_WIDGETS = {"palette", "mail"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def problems(source_dir, widgets_dir):
    for folder, allowed in sorted(ALLOWED.items()):
        for name in sorted(os.listdir(os.path.join(source_dir, folder))):
            path = os.path.join(folder, name)
            with open(os.path.join(source_dir, path), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    kind, header = match.groups()
                    if kind == '"':
                        target = header.split("/")[0]
                        if target != folder and target not in allowed and header not in allowed:
                            yield "%s:%d: %s may not include %s" % (path, number, folder, header)
                    elif folder in NO_WIDGETS and os.path.exists(os.path.join(widgets_dir, header)):
                        yield "%s:%d: %s may not use Qt Widgets (%s)" % (path, number, folder, header)


def main():
    found = list(problems(sys.argv[1], sys.argv[2]))
    for problem in found:
        print(problem)
    print("%d include(s) against the folder table" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
