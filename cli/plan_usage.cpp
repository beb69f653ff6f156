// zelmar-plan --help: what every option means, in one place.
#include "plan_options.h"

namespace zelmar::plan_cli {

std::string PlanUsageText() {
  return R"(Usage: zelmar-plan [--band BAND[=N]]... [--tv LIST[:STEP][=N]]...
                   [--tv-edge E] [--exclude F|LOW:HIGH]... [--fixed F]...
                   (--count N | --max) [--spacing S] [--guard G]
                   [--window KIND=W]... [--spares K] [--scan FILE]...
                   [--scan-threshold DBM] [--scan-guard G]
                   [--time-limit SECONDS] [--threads N] [--json]
                   [--save FILE] [--csv FILE]
       zelmar-plan [--group NAME[,FIELD=VALUE]... GROUP-OPTIONS]... ...
       zelmar-plan --show FILE [--analyze] [--save FILE] [--csv FILE] ...
       zelmar-plan --analyze [FREQ]... [--group ... --fixed F]... [--json]
Finds the best plan of wireless microphone carriers (MHz, at most three
decimals): every two carriers more than the spacing apart, and every
intermodulation product of a checked family more than that family's window
away from every carrier not used to make it. The best plan has the largest
2tx3 margin (the smallest distance of such a product from a carrier), then
the largest 3tx3 and 2tx5 margins where checked, then the lowest
frequencies. Plans of up to 12 carriers also pass the channel check.

  --band LOW:HIGH[:STEP]  candidate channels LOW, LOW + STEP, ... up to HIGH
                          (STEP 0.125 unless given)
  --band b                the B band, 806.125:809.750:0.125 (806.125 is ch 1);
                          the default when neither --band nor --tv is given
  --tv LIST[:STEP]        Japanese UHF TV channels, e.g. 21,22,35-37 (13 to
                          52): channel N spans 470 + 6 (N - 13) MHz to 6 MHz
                          above; its carriers are the multiples of STEP
                          (default 0.025) from its low end + E up to but not
                          including its high end - E
  --tv-edge E             E for --tv in MHz (default 0)
  =N                      after --band or --tv: exactly N new carriers from
                          it; then every --band and --tv needs one, they
                          share no channel, and --count may be left out
  --exclude F|LOW:HIGH    remove a channel or a range (ends included)
  --fixed F               a carrier already in use, part of every plan
  --count N               the best plan of N carriers (1 to 64, fixed ones
                          included)
  --max                   the best plan of as many carriers as fit (at most 64)
  --spacing S             carriers more than S apart, S at least 0.125
                          (default 0.125)
  --window KIND=W         check the family KIND with window W (MHz, 0 or
                          more): 2tx3 (2a - b, always checked, W 0 unless
                          given), 3tx3 (a + b - c) or 2tx5 (3a - 2b)
  --guard G               the same as --window 2tx3=G
  --spares K              also list K spare frequencies, each of which keeps
                          the whole plan valid beside it (best first)

Device groups (handhelds, bodypacks, in-ear monitors):
  --group NAME[,label=P][,spacing=S][,apart=A][,2tx3=W][,3tx3=W][,2tx5=W]
          [,spares=K]
                          starts a group: the --band, --tv, --fixed, --count,
                          --max, --spacing, --window and --spares after it
                          are its own; those before the first --group are
                          every group's defaults. Carriers are labelled P1,
                          P2, ... (P is NAME unless given). Two carriers of
                          different groups are more than the largest of both
                          groups' spacings and apart distances apart; a
                          product must lie more than its victim's group's
                          window away (a group without a window for a family
                          does not judge it). A group without any count takes
                          as many as fit (at most one such group). The best
                          plan has the largest headroom (distance beyond the
                          victim's window) per family in order.

Venue scans:
  --scan FILE             exclude what a scan shows above its threshold:
                          frequency,level lines (one or more levels per
                          line), sweeps under a row of frequencies (RF
                          Explorer), rtl_power / hackrf_sweep CSV, the
                          kHz;RF level export, Start/Stop level rows;
                          recognised from the content; -inf and nan levels
                          are left out; each scan is taken at its own
                          threshold and the ranges of all are excluded
  --scan-threshold DBM    a bin above this level is taken (default: 10 dB
                          above each scan's own noise floor, the lowest
                          cluster of its levels)
  --scan-unit UNIT        MHz, kHz, Hz or GHz: the frequencies' unit where a
                          file does not name it (default: told from the
                          magnitudes; a file that leaves it open is refused)
  --scan-guard G          MHz kept free on each side of a taken bin (default
                          0.1)

Shows:
  --show FILE             the request (and plan) of a show file
  --save FILE             save the request and its plan as a show file
                          (written whole or not at all; "-" for standard
                          output)
  --csv FILE              the crew's sheet: label, group, frequency, band,
                          spare (UTF-8 with a byte-order mark, CR LF); "-"
                          for standard output
  --analyze [FREQ]...     check these carriers (or a show's plan, or the
                          frequencies on standard input, one per line) under
                          the rules: every checked family's margin and
                          headroom and every broken rule; status 0 when
                          valid, 1 when not

  --time-limit SECONDS    stop the search after this long (default 10); the
                          best plan so far is then printed, not proven best
  --threads N             search with N threads (1 to 64; default: every
                          hardware thread); a search that runs to its end
                          gives the same plan with any number
  --json                  print one JSON object
  --help                  show this help and exit
  --version               show the version and exit

The frequencies go to standard output one per line, so that the plan pipes
into zelmar-check; the figures go to standard error. Ctrl-C prints the best
plan found so far and exits with status 130.

Exit status: 0 plan printed, 1 no valid plan of that size, 2 usage error or
I/O error, 3 internal error, 130 interrupted.
)";
}

}  // namespace zelmar::plan_cli
