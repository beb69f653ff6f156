"""Makes the one-file page: web/page.html with its style sheet and scripts
put inside it and the WebAssembly module as base64, once.
   usage: inline.py WEB_DIR MODULE.wasm OUT.html"""
import base64
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


inline('<link rel="stylesheet" href="page.css">',
       "<style>\n" + (web / "page.css").read_text(encoding="utf-8") + "</style>")
inline('<script src="core.js"></script>', script("core.js"))
wasm = base64.b64encode(module.read_bytes()).decode("ascii")
inline('<script src="page.js"></script>',
       f'<script type="application/octet-stream" id="zelmar-wasm">{wasm}</script>\n'
       + script("page.js"))
out.write_text(page, encoding="utf-8", newline="\n")
print(f"{out}: {out.stat().st_size} bytes")
