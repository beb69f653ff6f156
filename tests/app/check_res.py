#!/usr/bin/env python3
"""Checks a compiled resource file (.res) of Zelmar.exe byte for byte.

The resource compiler quietly adds or drops style bits in some statements, so
the dialog templates, the string table and the version record are read back
from the compiled file and compared with the intended values.
Usage: check_res.py FILE.res   (exit status 0 when everything matches)

The tables below are the tests' one statement of the dialog templates: the
GUI tests compare the running dialogs with them through a C++ header that
this script writes.
Usage: check_res.py --cxx-header FILE.h
"""
import struct
import sys

JAPANESE = 0x0411
RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = (
    3, 5, 6, 14, 16, 24)
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
CREDIT = "(C) 2026 Zelmar 開発チーム"  # fits the about box's 119 units

FIELD, LABEL = 0x50810080, 0x50020000
# (id, class, style, x, y, cx, cy, text) in template order
MAIN_CONTROLS = [
    (1, BUTTON, 0x50010001, 313, 6, 50, 14, "計\u3000算"),
    (2, BUTTON, 0x50010000, 313, 23, 50, 14, "終\u3000了"),
] + [
    (1000 + i, EDIT, FIELD, 20 if i < 6 else 105, 30 + 25 * (i % 6), 61, 17,
     "") for i in range(10)
] + [
    (1019 + i, STATIC, LABEL, 5 if i < 6 else 90, 35 + 25 * (i % 6),
     12 if i == 9 else 8, 8, f"F{i + 1}") for i in range(10)
] + [
    (1010, EDIT, FIELD, 105, 130, 61, 17, ""),
    (1011, EDIT, FIELD, 105, 155, 61, 17, ""),
    (1029, STATIC, LABEL, 90, 135, 10, 8, "F11"),
    (1030, STATIC, LABEL, 90, 160, 15, 8, "F12"),
    (1018, STATIC, LABEL, 185, 35, 120, 16, "Infomation"),
    (1015, BUTTON, 0x50010000, 259, 6, 51, 16, "クリア"),
    (-1, STATIC, LABEL, 210, 190, 150, 10, CREDIT),
    (1033, EDIT, 0x50A10044, 185, 55, 175, 115, ""),
]
ABOUT_CAPTION = "Zelmarのﾊﾞｰｼﾞｮﾝ情報"
ABOUT_MENU_TEXT = "Zelmar のﾊﾞｰｼﾞｮﾝ情報(&A)..."
ABOUT_CONTROLS = [
    (-1, STATIC, 0x50000003, 11, 17, 20, 20, 128),  # icon ordinal
    (-1, STATIC, 0x50020080, 40, 10, 119, 8, "Zelmar Version 1.0"),
    (-1, STATIC, 0x50020000, 40, 25, 119, 8, CREDIT),
    (1, BUTTON, 0x50030001, 178, 7, 50, 14, "OK"),
]
VERSION_STRINGS = {
    "Comments": "",
    "CompanyName": "Zelmar 開発チーム",
    "FileDescription": "Zelmar ｱﾌﾟﾘｹｰｼｮﾝ",
    "FileVersion": "1, 0, 0, 1",
    "InternalName": "Zelmar",
    "LegalCopyright": "Copyright (C) 2026 Zelmar 開発チーム",
    "LegalTrademarks": "",
    "OriginalFilename": "Zelmar.EXE",
    "PrivateBuild": "",
    "ProductName": "Zelmar ｱﾌﾟﾘｹｰｼｮﾝ",
    "ProductVersion": "1, 0, 0, 1",
    "SpecialBuild": "",
}

failures = []


def expect(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def u16(self):
        (v,) = struct.unpack_from("<H", self.data, self.pos)
        self.pos += 2
        return v

    def i16(self):
        (v,) = struct.unpack_from("<h", self.data, self.pos)
        self.pos += 2
        return v

    def u32(self):
        (v,) = struct.unpack_from("<I", self.data, self.pos)
        self.pos += 4
        return v

    def align(self, n=4):
        self.pos = (self.pos + n - 1) // n * n

    def wstr(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        s = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return s

    def sz_or_ord(self):
        """An ordinal (0xFFFF, n) as int, else a zero-ended string."""
        if self.data[self.pos:self.pos + 2] == b"\xff\xff":
            self.pos += 2
            return self.u16()
        return self.wstr()


def read_res(data):
    """Returns {(type, name): (language, bytes)}."""
    out = {}
    r = Reader(data)
    while r.pos < len(data):
        start = r.pos
        size, header = r.u32(), r.u32()
        rtype, name = r.sz_or_ord(), r.sz_or_ord()
        r.align()
        r.pos += 4  # data version
        r.u16()  # memory flags
        lang = r.u16()
        r.pos = start + header
        if size or rtype != 0:
            if (rtype, name) in out:
                failures.append(f"resource {rtype}/{name} twice")
            out[(rtype, name)] = (lang, data[r.pos:r.pos + size])
        r.pos += size
        r.align()
    return out


def check_controls(what, r, controls, extended):
    for n, (cid, cls, style, x, y, cx, cy, text) in enumerate(controls, 1):
        r.align()
        tag = f"{what} control {n}"
        if extended:
            expect(f"{tag} help id", r.u32(), 0)
            expect(f"{tag} exstyle", r.u32(), 0)
            expect(f"{tag} style", hex(r.u32()), hex(style))
        else:
            expect(f"{tag} style", hex(r.u32()), hex(style))
            expect(f"{tag} exstyle", r.u32(), 0)
        expect(f"{tag} rect", (r.i16(), r.i16(), r.i16(), r.i16()),
               (x, y, cx, cy))
        if extended:
            expect(f"{tag} id", struct.unpack("<i", struct.pack(
                "<I", r.u32()))[0], cid)
        else:
            expect(f"{tag} id", r.i16(), cid)
        expect(f"{tag} class", r.sz_or_ord(), cls)
        expect(f"{tag} text", r.sz_or_ord(), text)
        expect(f"{tag} creation data", r.u16(), 0)
    expect(f"{what} trailing bytes", len(r.data) - r.pos, 0)


def check_main(data):
    r = Reader(data)
    expect("IDD_MAIN version", (r.u16(), r.u16()), (1, 0xFFFF))
    expect("IDD_MAIN help id", r.u32(), 0)
    expect("IDD_MAIN exstyle", hex(r.u32()), hex(0x00040000))
    expect("IDD_MAIN style", hex(r.u32()), hex(0x90C800C0))
    expect("IDD_MAIN control count", r.u16(), len(MAIN_CONTROLS))
    expect("IDD_MAIN rect", (r.i16(), r.i16(), r.i16(), r.i16()),
           (0, 0, 371, 210))
    expect("IDD_MAIN menu", r.sz_or_ord(), "")
    expect("IDD_MAIN class", r.sz_or_ord(), "")
    expect("IDD_MAIN caption", r.wstr(), "Zelmar")
    expect("IDD_MAIN font", (r.u16(), r.u16(), r.data[r.pos], r.data[
        r.pos + 1]), (10, 0, 0, 1))
    r.pos += 2
    expect("IDD_MAIN face", r.wstr(), "ＭＳ Ｐゴシック")
    check_controls("IDD_MAIN", r, MAIN_CONTROLS, True)


def check_about(data):
    r = Reader(data)
    expect("IDD_ABOUTBOX style", hex(r.u32()), hex(0x80C800C0))
    expect("IDD_ABOUTBOX exstyle", r.u32(), 0)
    expect("IDD_ABOUTBOX control count", r.u16(), len(ABOUT_CONTROLS))
    expect("IDD_ABOUTBOX rect", (r.i16(), r.i16(), r.i16(), r.i16()),
           (0, 0, 235, 55))
    expect("IDD_ABOUTBOX menu", r.sz_or_ord(), "")
    expect("IDD_ABOUTBOX class", r.sz_or_ord(), "")
    expect("IDD_ABOUTBOX caption", r.wstr(), ABOUT_CAPTION)
    expect("IDD_ABOUTBOX font size", r.u16(), 9)
    expect("IDD_ABOUTBOX face", r.wstr(), "ＭＳ Ｐゴシック")
    check_controls("IDD_ABOUTBOX", r, ABOUT_CONTROLS, False)


def check_strings(data):
    # Block 7 holds ids 96..111; id 101 is its sixth string.
    r = Reader(data)
    texts = []
    for _ in range(16):
        n = r.u16()
        texts.append(r.data[r.pos:r.pos + 2 * n].decode("utf-16-le"))
        r.pos += 2 * n
    want = [""] * 16
    want[101 - 96] = ABOUT_MENU_TEXT
    expect("string table", texts, want)


def check_version(data):
    r = Reader(data)
    length, value_length, vtype = r.u16(), r.u16(), r.u16()
    expect("version length", length, len(data))
    expect("version key", (r.wstr(), value_length, vtype),
           ("VS_VERSION_INFO", 52, 0))
    r.align()
    fixed = struct.unpack_from("<13I", data, r.pos)
    expect("fixed version info", [hex(v) for v in fixed], [hex(v) for v in (
        0xFEEF04BD, 0x10000, 0x10000, 0x1, 0x10000, 0x1, 0x3F, 0, 0x4, 0x1,
        0, 0, 0)])
    r.pos += 52
    strings, translation = {}, None

    def walk(end, path):
        nonlocal translation
        while r.pos < end:
            r.align()
            if r.pos >= end:
                break
            start = r.pos
            length, value_length, vtype = r.u16(), r.u16(), r.u16()
            key = r.wstr()
            r.align()
            if path == ("StringFileInfo", "041104b0"):
                strings[key] = r.data[r.pos:r.pos + 2 * value_length].decode(
                    "utf-16-le").rstrip("\0")
            elif path == ("VarFileInfo",) and key == "Translation":
                translation = struct.unpack_from("<HH", data, r.pos)
            else:
                r.pos += value_length * (2 if vtype else 1)
                walk(start + length, path + (key,))
            r.pos = start + length

    walk(len(data), ())
    expect("version strings", strings, VERSION_STRINGS)
    expect("translation", translation, (0x0411, 1200))


def check_icon(resources):
    lang, group = resources[(RT_GROUP_ICON, 128)]
    r = Reader(group)
    expect("icon group header", (r.u16(), r.u16(), r.u16()), (0, 1, 1))
    width, height, colours, _, planes, bits = struct.unpack_from(
        "<BBBBHH", group, r.pos)
    expect("icon format", (width, height, colours, planes, bits),
           (32, 32, 16, 1, 4))
    icons = [k for k in resources if k[0] == RT_ICON]
    expect("icon images", len(icons), 1)


def cxx_text(text):
    """A C++ wide string literal, every non-ASCII character escaped."""
    return 'L"' + "".join(
        c if 0x20 <= ord(c) < 0x7F and c not in '"\\' else f"\\u{ord(c):04X}"
        for c in text) + '"'


def write_cxx_header(path):
    classes = {BUTTON: 'L"Button"', EDIT: 'L"Edit"', STATIC: 'L"Static"'}

    def table(name, controls):
        rows = []
        for cid, cls, style, x, y, cx, cy, text in controls:
            shown = cxx_text(text) if isinstance(text, str) else 'L""'
            rows.append(f"    {{{cid}, {classes[cls]}, 0x{style:08X}, {x}, {y}, "
                        f"{cx}, {cy}, {shown}}},")
        return ([f"inline const ControlSpec {name}[{len(controls)}] = {{"] +
                rows + ["};"])

    lines = [
        "// Made by tests/app/check_res.py from its tables; do not edit.",
        "#pragma once", "", "namespace zelmar_gui {", "",
        "// The main dialog's controls in template (creation) order.",
    ] + table("kMainControls", MAIN_CONTROLS) + [
        "", "// The about box's controls (icon, name, credit, OK); an icon's",
        "// text is empty.",
    ] + table("kAboutControls", ABOUT_CONTROLS) + [
        "",
        f"inline const wchar_t kAboutCaption[] = {cxx_text(ABOUT_CAPTION)};",
        f"inline const wchar_t kAboutMenuText[] = "
        f"{cxx_text(ABOUT_MENU_TEXT)};",
        "", "}  // namespace zelmar_gui", ""]
    with open(path, "w", encoding="ascii") as f:
        f.write("\n".join(lines))


def main():
    if sys.argv[1] == "--cxx-header":
        write_cxx_header(sys.argv[2])
        return 0
    resources = read_res(open(sys.argv[1], "rb").read())
    for (rtype, name), (lang, _) in resources.items():
        expect(f"language of {rtype}/{name}", hex(lang), hex(JAPANESE))
    want = {(RT_DIALOG, 100), (RT_DIALOG, 102), (RT_STRING, 7),
            (RT_GROUP_ICON, 128), (RT_VERSION, 1), (RT_MANIFEST, 1)}
    missing = want - set(resources)
    expect("missing resources", sorted(missing), [])
    if not missing:
        check_main(resources[(RT_DIALOG, 102)][1])
        check_about(resources[(RT_DIALOG, 100)][1])
        check_strings(resources[(RT_STRING, 7)][1])
        check_version(resources[(RT_VERSION, 1)][1])
        check_icon(resources)
    for f in failures:
        print(f)
    print(f"{len(resources)} resources, {len(failures)} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
