#!/usr/bin/env bash
# The README's first command as a new user meets it: `make run` from a fresh
# clone in a bare Debian 12 root (the base system with apt, git and make,
# nothing else), as root and without a display, so that it types the sample
# plan, takes its screenshot and closes the program. Passes when the dialog
# appeared and was photographed; prints how long install and build took.
#
# The root comes from Debian's mmdebstrap and the same archive this
# machine's apt uses. Its tarball is made once per build tree and kept
# there; each run unpacks it afresh, works in a mount namespace of its own
# (so nothing it mounts outlives it) and removes the unpacked root again.
#   usage: tests/bare/make_run_on_bare_debian.sh [--rev REVISION] BUILD_DIR
# --rev: clone that revision instead of HEAD (to show a tree that fails).
set -euo pipefail
# A chroot is made and entered as root.
[ "$(id -u)" -eq 0 ] || exec sudo -- "$0" "$@"

rev=HEAD
if [ "${1:-}" = --rev ]; then rev=$2; shift 2; fi
build_dir=${1:?usage: make_run_on_bare_debian.sh [--rev REVISION] BUILD_DIR}
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
commit=$(git -C "$repo" rev-parse --verify "$rev^{commit}")
work=$(realpath -m "$build_dir/bare-debian")
tarball="$work/debian12-apt.tar"
root="$work/root"
shot="$work/zelmar-run.png"

fail() { echo "bare-debian: $*" >&2; exit 1; }
for tool in mmdebstrap unshare chroot tar; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh)"
done

# The Debian archive this machine's apt reads, as a file mmdebstrap pastes
# into the root's sources; none found: Debian's default mirror.
debian_sources() {
  local deb822=/etc/apt/sources.list.d/debian.sources
  if [ -s "$deb822" ]; then
    echo "$deb822"
  elif grep -qsE '^deb .*/debian' /etc/apt/sources.list; then
    grep -E '^deb .*/debian' /etc/apt/sources.list >"$work/sources.list"
    echo "$work/sources.list"
  fi
}

mounted_under_root() { grep -q " $root/" /proc/self/mounts; }

remove_root() {
  # Nothing is mounted there outside the namespace; were it, removing the
  # root would remove what is mounted, so refuse.
  mounted_under_root && fail "something is still mounted under $root"
  rm -rf "$root"
}

mkdir -p "$work"
if [ ! -s "$tarball" ]; then
  echo "bare-debian: making the root's tarball (once per build tree)"
  # shellcheck disable=SC2046  # no sources file: no argument
  mmdebstrap --quiet --variant=apt --include=git,make --format=tar \
    bookworm "$tarball.part" $(debian_sources) ||
    fail "mmdebstrap could not make the root"
  mv "$tarball.part" "$tarball"
fi

remove_root
trap remove_root EXIT
mkdir -p "$root"
tar -C "$root" -xf "$tarball"
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone --quiet --no-local "$repo" "$root/root/zelmar"
git -C "$root/root/zelmar" checkout --quiet --detach "$commit"
rm -f "$shot"

echo "bare-debian: make run from a fresh clone of ${commit:0:12}"
start=$(date +%s)
status=0
unshare --mount --pid --fork --kill-child --propagation private -- \
  bash -euc '
    root=$1
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/dev/shm"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd /root/zelmar && make run"
  ' bare-debian "$root" || status=$?
seconds=$(($(date +%s) - start))

made="$root/root/zelmar/build/win64/screenshots/zelmar-run.png"
[ -s "$made" ] && cp "$made" "$shot"
[ "$status" -eq 0 ] || fail "make run failed (exit $status) after $seconds s"
[ -s "$shot" ] || fail "make run ended after $seconds s without a screenshot of the dialog"
echo "bare-debian: the dialog appeared; install and build took $seconds s; screenshot: $shot"
