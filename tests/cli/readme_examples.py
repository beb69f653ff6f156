#!/usr/bin/env python3
"""Runs every example of README.md that shows what the tool prints and
compares standard output with the lines shown.

An example is a line "$ COMMAND" in an indented block, its output the lines
after it up to the next "$ " line or the block's end; examples without
output lines are not run. "zelmar-check" and "zelmar-plan", bare or under
build/native/cli/, become the tools of TOOL_DIR. Output that the text before
the block calls "one line, wrapped here" is joined again: each following
line loses the one space that marks it as a continuation.

usage: readme_examples.py README.md TOOL_DIR
"""

import re
import subprocess
import sys

BLOCK_INDENT = "    "
WRAPPED_MARK = "one line, wrapped here"
TOOL = re.compile(r"(?<![\w/.-])(?:build/native/cli/)?(zelmar-(?:check|plan))\b")


def examples(lines):
    """(line number, command, output lines, wrapped) of each shown example."""
    found = []
    prose = ""
    current = None
    for number, line in enumerate(lines, 1):
        if not line.startswith(BLOCK_INDENT):
            if line.strip():
                prose = line
            current = None
            continue
        text = line[len(BLOCK_INDENT):]
        if text.startswith("$ "):
            current = (number, text[2:], [], WRAPPED_MARK in prose)
            found.append(current)
        elif current is not None:
            current[2].append(text)
    return [e for e in found if e[2]]


def expected_output(output, wrapped):
    if not wrapped:
        return "\n".join(output) + "\n"
    rest = [line[1:] if line.startswith(" ") else line for line in output[1:]]
    return "".join([output[0]] + rest) + "\n"


def main():
    readme, tool_dir = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        lines = f.read().split("\n")
    shown = examples(lines)
    if not shown:
        print(f"{readme}: no example with its output found")
        return 1
    failures = 0
    for number, command, output, wrapped in shown:
        runnable = TOOL.sub(lambda m: f"{tool_dir}/{m.group(1)}", command)
        ran = subprocess.run(["sh", "-c", runnable], capture_output=True)
        got = ran.stdout.decode("utf-8", "replace")
        want = expected_output(output, wrapped)
        if got != want:
            failures += 1
            print(f"{readme}:{number}: $ {command}\n"
                  f"  README shows: {want!r}\n  tool prints:  {got!r}")
    print(f"{len(shown) - failures} of {len(shown)} examples print what "
          "README.md shows")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
