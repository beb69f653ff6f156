#!/usr/bin/env python3
"""Checks release archives as a Windows user gets them: the programs, the
offline page, and a read-me that Notepad of any Windows since Vista shows as
Japanese lines (a UTF-8 byte-order mark, CR LF line ends and no bare LF or
CR).

Usage: check_archives.py VERSION ARCHIVE...
"""
import sys
import zipfile

PROGRAMS = {"Zelmar.exe", "zelmar-check.exe", "zelmar-plan.exe", "zelmar.html"}


def problems(path, version):
    with zipfile.ZipFile(path) as z:
        names = set(z.namelist())
        for missing in sorted(PROGRAMS - names):
            yield f"{missing} is missing"
        if "README-ja.txt" not in names:
            yield "README-ja.txt is missing"
            return
        data = z.read("README-ja.txt")
    if not data.startswith(b"\xef\xbb\xbf"):
        yield "README-ja.txt has no UTF-8 byte-order mark"
    try:
        text = data.decode("utf-8-sig")
    except UnicodeDecodeError as e:
        yield f"README-ja.txt is not UTF-8: {e}"
        return
    if not text.endswith("\r\n"):
        yield "README-ja.txt does not end with CR LF"
    if text.replace("\r\n", "").count("\n") or text.replace("\r\n", "").count("\r"):
        yield "README-ja.txt has a line end other than CR LF"
    if f"Zelmar {version}" not in text:
        yield f"README-ja.txt does not name version {version}"


def main():
    version, *archives = sys.argv[1:]
    failed = False
    for path in archives:
        for problem in problems(path, version):
            print(f"{path}: {problem}")
            failed = True
    print(f"{len(archives)} archives checked")
    return 1 if failed or not archives else 0


if __name__ == "__main__":
    sys.exit(main())
