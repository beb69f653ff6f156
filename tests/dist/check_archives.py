#!/usr/bin/env python3
"""Checks release archives as a Windows user gets them: the programs and the
offline page, each within the size it is kept to, and a read-me that Notepad
of any Windows since Vista shows as Japanese lines (a UTF-8 byte-order mark,
CR LF line ends and no bare LF or CR).

Usage: check_archives.py VERSION ARCHIVE...
"""
import sys
import zipfile

# Each program of a release and the most bytes it may take: the dialog
# within 512 KiB, the tools within 1 MiB, the page within 500 KB.
PROGRAMS = {
    "Zelmar.exe": 512 * 1024,
    "zelmar-check.exe": 1024 * 1024,
    "zelmar-plan.exe": 1024 * 1024,
    "zelmar.html": 500 * 1000,
}


def problems(path, version):
    with zipfile.ZipFile(path) as z:
        names = set(z.namelist())
        for name, limit in sorted(PROGRAMS.items()):
            if name not in names:
                yield f"{name} is missing"
            elif z.getinfo(name).file_size > limit:
                yield f"{name} is {z.getinfo(name).file_size:,} bytes, above its {limit:,}"
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
