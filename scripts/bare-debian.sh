#!/usr/bin/env bash
# Runs one of the README's commands on a bare Debian 12 or 13 (debootstrap's
# minbase) with a fresh clone of this project's HEAD: the only proof that the
# command installs everything it needs, since this machine keeps whatever
# earlier work installed. Needs root and a Debian mirror; leaves the root in
# place (delete it with rm -rf) and its log in DIR/bare-debian.log.
# Usage: scripts/bare-debian.sh DIR [test|run] [bookworm|trixie]
#        (default: test on bookworm, Debian 12)
set -euo pipefail
usage="usage: bare-debian.sh DIR [test|run] [bookworm|trixie]"
dir=$(realpath -m "${1:?$usage}")
command=${2:-test}
release=${3:-bookworm}
root=$(cd "$(dirname "$0")/.." && pwd)
mirror=${TW_DEBIAN_MIRROR:-http://deb.debian.org/debian}

case "$command" in test|run) ;; *) echo "$usage" >&2; exit 2 ;; esac
case "$release" in bookworm) version=12 ;; trixie) version=13 ;; *) echo "$usage" >&2; exit 2 ;; esac
command -v debootstrap >/dev/null || { echo "bare-debian.sh: needs debootstrap" >&2; exit 2; }
if [ ! -e "$dir/etc/debian_version" ]; then
  debootstrap --variant=minbase "$release" "$dir" "$mirror"
fi
# A root made earlier for the other release would prove nothing about this one.
if [[ $(cut -d. -f1 "$dir/etc/debian_version") != "$version" ]]; then
  echo "bare-debian.sh: $dir holds Debian $(cat "$dir/etc/debian_version"), not $release" >&2
  exit 2
fi
rm -rf "$dir/root/tallowind"
git clone -q "$root" "$dir/root/tallowind"
cp /etc/resolv.conf "$dir/etc/resolv.conf"
before=$(du -sm "$dir/var/cache/apt/archives" | cut -f1)
started=$(date +%s)
status=0
unshare -m bash -c '
  set -e
  d=$1
  mount -t proc proc "$d/proc"
  mount --rbind /sys "$d/sys"
  mount --rbind /dev "$d/dev"
  mount -t tmpfs tmpfs "$d/tmp"
  mount -t tmpfs tmpfs "$d/dev/shm"
  exec chroot "$d" /usr/bin/env -i HOME=/root TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/tallowind && bash scripts/$2.sh"' _ "$dir" "$command" \
  > "$dir/bare-debian.log" 2>&1 || status=$?
after=$(du -sm "$dir/var/cache/apt/archives" | cut -f1)
tail -n 5 "$dir/bare-debian.log"
echo "bare-debian.sh: scripts/$command.sh on $release exited $status after $(( $(date +%s) - started )) s;" \
     "apt downloaded $(( after - before )) MiB"
exit "$status"
