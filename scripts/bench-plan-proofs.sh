#!/usr/bin/env bash
# Usage: scripts/bench-plan-proofs.sh BUILD_DIR [RUNS]
# Times zelmar-plan's proofs with one thread and with two: counts of the
# check's own rule on dense rasters (the largest sets without three in
# arithmetic progression, published as OEIS A003002), exact 3tx3 plans
# (Golomb rulers, OEIS A003022), the README's narrow cases and its wide show
# case (12 carriers, a margin proven best on a 25 kHz raster). Per case and
# thread count: the answer, whether it is proven, and the seconds of RUNS
# runs (default 3) as minimum / median / maximum. A case whose answer is
# published is marked "wrong" when the tool disagrees.
set -euo pipefail

build=${1:?usage: scripts/bench-plan-proofs.sh BUILD_DIR [RUNS]}
runs=${2:-3}
plan="$build/cli/zelmar-plan"
[ -x "$plan" ] || { echo "bench-plan-proofs.sh: $plan is missing; build $build first" >&2; exit 1; }

# The band of n channels from LOW at STEP MHz.
band() { awk -v low="$1" -v n="$2" -v step="$3" 'BEGIN { printf "%.3f:%.3f:%s", low, low + (n - 1) * step, step }'; }

cases=()
for n in 30 41 51 58 63 64 71 74 80; do
  want=""
  case $n in 30) want=12 ;; 41) want=16 ;; 51) want=17 ;; 63) want=20 ;; 74) want=22 ;; esac
  cases+=("ap$n|$want|--band $(band 800 $n 0.25) --max")
done
cases+=(
  "raster60|17|--band 806.125:813.500 --max"
  "raster100||--band 806.125:818.500 --max"
  "ruler73|11|--band $(band 800 73 0.25) --max --window 3tx3=0"
  "ruler86|12|--band $(band 800 86 0.25) --max --window 3tx3=0"
  "b-max|10|--max"
  "b-3tx3|7|--max --window 3tx3=0"
  "ch71-3tx3|10|--band 770.125:778.875 --max --window 3tx3=0"
  "ch71-2tx5|10|--band 770.125:778.875 --max --window 3tx3=0 --window 2tx5=0"
  "show12||--band 470:714:0.025 --exclude 470:476 --exclude 488:494 --exclude 518:524 --exclude 554:560 --fixed 500 --fixed 600 --count 12 --spacing 0.4 --guard 0.1"
)

echo "zelmar-plan proofs, $runs runs each; $(nproc) cores, load:$(uptime | sed 's/.*load average://')"
printf '%-10s %-7s %5s %6s  %s\n' case threads count proven "seconds min / median / max"
for entry in "${cases[@]}"; do
  IFS='|' read -r name want args <<<"$entry"
  read -r -a argv <<<"$args"
  for threads in 1 2; do
    times=()
    for ((run = 0; run < runs; run++)); do
      start=$(date +%s%N)
      out=$("$plan" --json --time-limit 120 --threads "$threads" "${argv[@]}" 2>/dev/null) || true
      end=$(date +%s%N)
      times+=("$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')")
    done
    count=$(sed -n 's/.*"count":\([0-9]*\).*/\1/p' <<<"$out")
    proven=$(sed -n 's/.*"proven":\([a-z]*\).*/\1/p' <<<"$out")
    mapfile -t sorted < <(printf '%s\n' "${times[@]}" | sort -n)
    mark=""
    [ -n "$want" ] && [ "$count" != "$want" ] && mark="  wrong: published $want"
    printf '%-10s %-7s %5s %6s  %s / %s / %s%s\n' "$name" "$threads" "$count" "$proven" \
      "${sorted[0]}" "${sorted[$((runs / 2))]}" "${sorted[$((runs - 1))]}" "$mark"
  done
done
