#!/usr/bin/env bash
# The README's two commands as a new contributor runs them on a fresh Debian
# 12 machine: a Debian 12 root made with debootstrap (minbase: nothing is
# installed but what that brings; apt reads the same mirrors as here), a
# clone of the current commit in it, and inside it, as root,
# tools/run-example.sh and then tools/run-tests.sh. Prints each command's
# outcome and time, and the test command's summary per part. Run it before
# a change to an install step lands: CI runs on a warm machine, where what
# earlier runs installed hides a missing step. Not part of the test command.
#   tools/check-fresh-machine.sh [FOLDER]
# FOLDER: where the root is made (default: a new folder in /var/tmp); it is
# kept, with the two commands' whole output in FOLDER.log. Runs as root
# (debootstrap, mount, chroot); about an hour.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi
commit=$(git -C "$root" rev-parse HEAD)
fresh=${1:-$(mktemp -d /var/tmp/jweb-fresh.XXXXXX)}
log=$fresh.log

if [ -z "${JWEB_FRESH_MOUNTS:-}" ]; then
  install_packages debootstrap git
  [ ! -e "$fresh/etc" ] || { echo "$fresh holds a root already: name a new folder" >&2; exit 2; }
  mirror=$(debian_mirror)
  echo "== a Debian 12 root in $fresh, from $mirror"
  started=$SECONDS
  debootstrap --variant=minbase bookworm "$fresh" "$mirror" >"$log" 2>&1 || { tail -20 "$log"; exit 1; }
  # The mirrors and suites apt reads here (updates and security too), as a
  # machine installed from Debian's images has them; the name server.
  rm -f "$fresh/etc/apt/sources.list"
  cp -a /etc/apt/sources.list.d/. "$fresh/etc/apt/sources.list.d/"
  [ ! -f /etc/apt/sources.list ] || cp /etc/apt/sources.list "$fresh/etc/apt/"
  cp -L /etc/resolv.conf "$fresh/etc/resolv.conf"
  # The current commit only: what is not committed does not land either.
  git clone -q --no-local "$root" "$fresh/work/jwebnative"
  git -C "$fresh/work/jwebnative" checkout -q --detach "$commit"
  echo "== made in $((SECONDS - started)) s; commit ${commit:0:7}"
  JWEB_FRESH_MOUNTS=1 exec unshare --mount --propagation private "$0" "$fresh"
fi

# Inside a mount namespace of its own, so that whatever ends the run ends the
# mounts too. The root is a mount of its own, as a machine's is: the
# userlands part makes its mounts private, which needs one.
mount --bind "$fresh" "$fresh"
mount -t proc proc "$fresh/proc"
mount --rbind /sys "$fresh/sys"
mount --rbind /dev "$fresh/dev"
mount -t tmpfs tmpfs "$fresh/dev/shm"
in_root() {  # in_root COMMAND: runs COMMAND in the clone, in a login's environment
  chroot "$fresh" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "cd /work/jwebnative && $1"
}
outcome=()
for command in tools/run-example.sh tools/run-tests.sh; do
  echo "== $command"
  started=$SECONDS
  status=0
  in_root "$command" 2>&1 | tee -a "$log" || status=$?
  outcome+=("$command: status $status ($((SECONDS - started)) s)")
done
# The test command's summary per part stands just above.
echo "== Fresh Debian 12 root, commit ${commit:0:7} (whole output: $log)"
printf '%s\n' "${outcome[@]}"
! grep -q 'status [1-9]' <<<"${outcome[*]}"
