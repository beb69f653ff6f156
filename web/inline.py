"""Makes the one-file page: web/page.html with its style sheet and scripts
put inside it and the WebAssembly module, gzipped, as base64, once.
   usage: inline.py WEB_DIR MODULE.wasm OUT.html"""
import base64
import gzip
import re
import pathlib
import sys

web, module, out = map(pathlib.Path, sys.argv[1:])
page = (web / "page.html").read_text(encoding="utf-8")


def inline(tag, replacement):
    global page
    if page.count(tag) != 1:
        sys.exit(f"inline.py: {tag} must appear once in page.html")
    page = page.replace(tag, replacement)


def script(name):
    text = (web / name).read_text(encoding="utf-8")
    if "</script" in text.lower():
        sys.exit(f"inline.py: {name} holds '</script'")
    return f"<script>\n{text}</script>"


for sheet in re.findall(r'<link rel="stylesheet" href="([a-z_]+\.css)">', page):
    inline(f'<link rel="stylesheet" href="{sheet}">',
           "<style>\n" + (web / sheet).read_text(encoding="utf-8") + "</style>")
# Every script in the order page.html names them; the module before them.
scripts = re.findall(r'<script src="([a-z_]+\.js)"></script>', page)
if not scripts:
    sys.exit("inline.py: page.html names no scripts")
# mtime 0: the same module gives the same bytes.
wasm = base64.b64encode(gzip.compress(module.read_bytes(), 9, mtime=0)).decode("ascii")
for i, name in enumerate(scripts):
    module_tag = f'<script type="application/octet-stream" id="zelmar-wasm">{wasm}</script>\n'
    inline(f'<script src="{name}"></script>', (module_tag if i == 0 else "") + script(name))
out.write_text(page, encoding="utf-8", newline="\n")
print(f"{out}: {out.stat().st_size} bytes")
