#!/usr/bin/env python3
"""Every room of src/ includes only rooms below it: the programs wire the listeners, the listeners
are told by the engine, the engine stands on the results, the delivery and the settings, and
those on the platform and the plain types at the bottom. Rooms on one level do not include each
other. Exits 1 and names each include that points up or sideways."""
import pathlib
import re
import sys

# The rooms from the bottom up; a room may include rooms of lower levels only.
LEVELS = {
    "common": 0,
    "controls": 1,
    "domain": 1,
    "platform": 2,
    "settings": 3,
    "results": 4,
    "delivery": 4,
    "engine": 5,
    "forms": 6,
    "history": 6,
    "metrics": 6,
    "eventlog": 6,
    "processes": 6,
    "app": 7,
    "win32app": 7,
    "headless": 7,
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/', re.MULTILINE)


def main(src: pathlib.Path) -> int:
    faults = []
    rooms = sorted(p.name for p in src.iterdir() if p.is_dir())
    for room in rooms:
        if room not in LEVELS:
            faults.append(f"src/{room}: a room that has no place among the rooms")
            continue
        for path in sorted((src / room).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                if target == room or target not in LEVELS:
                    continue
                if LEVELS[target] >= LEVELS[room]:
                    faults.append(f"{path.relative_to(src.parent)} includes {target}/, which is "
                                  f"not below {room}/")
    for fault in faults:
        print(fault)
    if not faults:
        print(f"{len(rooms)} rooms; every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src").resolve()))
