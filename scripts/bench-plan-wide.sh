#!/usr/bin/env bash
# Usage: scripts/bench-plan-wide.sh BUILD_DIR [SECONDS]
# Sets zelmar-plan's timed answer against a plain simulated annealing
# (zelmar_anneal, seed 1) given SECONDS (default 60, six times the planner's
# default limit) on wide cases of many kinds. BUILD_DIR is a build with the
# benchmarks (-DZELMAR_BUILD_BENCH=ON). Per case it prints the planner's
# margins at 1 s and at its default 10 s, the annealing's, and whether the
# planner's 10-s plan is at least as good: its margins of the checked
# families, compared in order, are nowhere below the annealing's. The runs
# go one after another, since the planner's answer depends on the time it
# gets.
set -euo pipefail

build=${1:?usage: scripts/bench-plan-wide.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
plan="$build/cli/zelmar-plan"
anneal="$build/bench/zelmar_anneal"
for program in "$plan" "$anneal"; do
  [ -x "$program" ] || { echo "bench-plan-wide.sh: $program is missing; build $build first" >&2; exit 1; }
done

cases=(
  "a|--band 470:714:0.025 --exclude 470:476 --exclude 488:494 --exclude 518:524 --exclude 554:560 --fixed 500 --fixed 600 --count 12 --spacing 0.4 --guard 0.1"
  "b|--tv 21-30 --count 12 --window 3tx3=0.1 --spacing 0.3"
  "c|--band 470:714:0.025 --count 16 --window 3tx3=0.05 --window 2tx5=0"
  "d|--band b=4 --tv 35-40=8 --window 3tx3=0.1 --guard 0.05"
  "e|--band 770:806:0.125 --exclude 780:784 --fixed 790 --fixed 800.5 --count 12 --window 3tx3=0 --spacing 0.375"
  "f24|--band 470:714:0.025 --count 24 --spacing 0.4 --guard 0.1"
  "f40|--band 470:714:0.025 --count 40 --spacing 0.4 --guard 0.1"
  "g|--tv 13-52:0.125 --count 20 --window 3tx3=0.1 --window 2tx5=0.05 --tv-edge 0.25"
  "h|--band 806.125:809.75:0.025 --count 8 --window 3tx3=0.05"
  "i|--band 470:714:0.025 --fixed 480 --fixed 530.5 --fixed 610.25 --fixed 650 --fixed 700 --count 16 --window 3tx3=0.1 --spacing 0.3"
  "j|--tv 21,23,25=6 --band 770:806:0.125=6 --window 3tx3=0.05 --window 2tx5=0"
  "k|--band 470:714:0.025 --exclude 500:600 --count 12 --window 2tx3=0.2 --window 3tx3=0.2 --window 2tx5=0.1"
  "l|--band b --band 770.125:778.875 --count 14 --window 3tx3=0"
)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
echo "zelmar-plan (1 s, 10 s) against zelmar_anneal ($seconds s, seed 1); $(nproc) cores, load:$(uptime | sed 's/.*load average://')"
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  read -r -a args <<<"${entry#*|}"
  for limit in 1 10; do
    status=0
    "$plan" --json --time-limit "$limit" "${args[@]}" >"$scratch/p$limit" 2>"$scratch/p.err" || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
      echo "bench-plan-wide.sh: zelmar-plan failed on case $name (status $status):" >&2
      cat "$scratch/p.err" >&2
      exit 1
    fi
  done
  status=0
  "$anneal" "$seconds" 1 "${args[@]}" >"$scratch/an" 2>"$scratch/an.err" || status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
    echo "bench-plan-wide.sh: zelmar_anneal failed on case $name (status $status):" >&2
    cat "$scratch/an.err" >&2
    exit 1
  fi
  python3 - "$name" "${entry#*|}" "$scratch" <<'PY'
import json, sys

name, args, scratch = sys.argv[1:4]
families = ["2tx3", "3tx3", "2tx5"]

def khz(text):
    whole, _, frac = text.partition(".")
    return int(whole) * 1000 + int((frac + "000")[:3])

def planner(path):
    """The checked families' margins (None: too few carriers), or None."""
    with open(path) as f:
        text = f.read().strip()
    if not text:
        return None
    j = json.loads(text)
    if not j["plan"]:
        return None
    return {k: (None if v is None else khz(v)) for k, v in j["margins"].items()}

def annealed(path):
    with open(path) as f:
        words = f.read().split()
    if "margins" not in words:
        return None, ""
    at = words.index("margins")
    margins = {}
    for i in range(at + 1, at + 7, 2):
        family, value = words[i], words[i + 1]
        if value != "-":
            margins[family] = None if value == "none" else khz(value)
    moves = words[words.index("moves") + 1]
    return margins, moves

def show(margins):
    if margins is None:
        return "no plan"
    return " ".join(f"{k} " + ("none" if v is None else f"{v // 1000}.{v % 1000:03d}")
                    for k, v in margins.items())

def at_least(mine, theirs):
    """Whether `mine` is at least as good, and the first family that differs."""
    if theirs is None:
        return True, None
    if mine is None:
        return False, None
    for family in families:
        if family not in theirs:
            continue
        a, b = mine.get(family), theirs[family]
        a = float("inf") if a is None else a
        b = float("inf") if b is None else b
        if a != b:
            return a > b, (family, a - b)
    return True, None

def verdict(mine, theirs):
    good, diff = at_least(mine, theirs)
    if diff is None:
        return "yes (equal)" if good else "NO (no plan)"
    family, by = diff
    return ("yes" if good else "NO") + f" ({family} {'+' if by > 0 else ''}{by} kHz)"

p1, p10 = planner(f"{scratch}/p1"), planner(f"{scratch}/p10")
an, moves = annealed(f"{scratch}/an")
print(f"case {name}: {args}")
print(f"  planner  1 s: {show(p1)}")
print(f"  planner 10 s: {show(p10)}")
print(f"  anneal      : {show(an)}" + (f" ({moves} moves)" if moves else ""))
print(f"  planner 10 s at least as good: {verdict(p10, an)}; at 1 s: {verdict(p1, an)}")
PY
done
