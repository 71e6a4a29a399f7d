#!/usr/bin/env python3
"""Writes the manual pages tarnwick.1.gz and tarnwickd.8.gz from their one source.

    make_man_pages.py SOURCE OUTDIR VERSION

A line '.\\" page: tarnwick', '.\\" page: tarnwickd' or '.\\" page: both' sends the lines after
it to that page (or both); the lines before the first such line are the source's own comments.
@VERSION@ becomes VERSION. The pages are gzipped without a name or time stamp, as Debian wants.
"""
import gzip
import pathlib
import sys

PAGES = {"tarnwick": "tarnwick.1", "tarnwickd": "tarnwickd.8"}
MARK = '.\\" page: '


def split(source, version):
    lines = {page: [] for page in PAGES}
    target = None
    for line in source.splitlines():
        if line.startswith(MARK):
            name = line[len(MARK):].strip()
            if name != "both" and name not in PAGES:
                raise SystemExit(f"unknown page {name!r} in {line!r}")
            target = list(PAGES) if name == "both" else [name]
            continue
        if target is None:
            continue
        for page in target:
            lines[page].append(line.replace("@VERSION@", version))
    return {page: "\n".join(text) + "\n" for page, text in lines.items()}


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    source, outdir, version = sys.argv[1:]
    out = pathlib.Path(outdir)
    out.mkdir(parents=True, exist_ok=True)
    for page, text in split(pathlib.Path(source).read_text(encoding="utf-8"), version).items():
        path = out / (PAGES[page] + ".gz")
        with open(path, "wb") as raw:
            with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=raw, mtime=0) as gz:
                gz.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
