#!/usr/bin/env bash
# The .deb as a user gets it: built with cpack from this build tree, installed with
# apt into a clean Debian 12 root (debootstrap), where lumbrook-cli --version, its
# manual page and the demo store run through it; then removed again.
#   test-package.sh BUILD_DIR DEMO_STORE
# Skips (exit 77) where no such root can be made: not root, no debootstrap, no
# network. LUMBROOK_DEBIAN_MIRROR names another mirror.
set -euo pipefail
build=$1 demo=$2
mirror=${LUMBROOK_DEBIAN_MIRROR:-http://deb.debian.org/debian}
skip() {
    echo "skipped: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "debootstrap and chroot need root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/setup.sh installs it)"
command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps is not installed (dpkg-dev)"
host=${mirror#*://}
host=${host%%/*}
timeout 20 bash -c "exec 3<>/dev/tcp/$host/80" 2>/dev/null || skip "$host cannot be reached"

work=$(mktemp -d /tmp/lumbrook-package-XXXXXX)
root=$work/root
cleanup() {
    if mountpoint -q "$root/proc" 2>/dev/null; then umount "$root/proc" || umount -l "$root/proc"; fi
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

echo "== the package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    exit 1
}
deb=$(ls "$work"/deb/lumbrook_*.deb)
dpkg-deb --field "$deb" Package Version Depends

echo "== a clean Debian 12 root"
# The bare root is kept between runs as a tarball: nothing of ours is ever in it.
cache=$build/package-test/debian12-minbase.tar
mkdir -p "$root"
if [ -f "$cache" ]; then
    tar -C "$root" -xf "$cache"
else
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 || {
        tail -20 "$work/debootstrap.log"
        exit 1
    }
    mkdir -p "$(dirname "$cache")"
    tar -C "$root" -cf "$cache.part" . && mv "$cache.part" "$cache"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" 2>/dev/null || true
cp "$deb" "$root/tmp/lumbrook.deb"
cp -r "$demo" "$root/tmp/demo-store"
inRoot() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
failed=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else
        echo "FAILED: $what"
        failed=1
    fi
}

echo "== installed with its dependencies"
inRoot apt-get update -q >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
inRoot apt-get install -y -q --no-install-recommends /tmp/lumbrook.deb man-db >>"$work/apt.log" 2>&1 || {
    tail -30 "$work/apt.log"
    exit 1
}
check "lumbrook-cli --version" test "$(inRoot lumbrook-cli --version)" = "lumbrook-cli $(dpkg-deb --field "$deb" Version)"
check "lumbrook --version (every library of the window is there)" inRoot lumbrook --version
check "man lumbrook-cli" bash -c "$(declare -f inRoot); root=$root; inRoot man -P cat lumbrook-cli | grep -q 'EXIT STATUS'"
check "man lumbrook" bash -c "$(declare -f inRoot); root=$root; inRoot man -P cat lumbrook | grep -q 'Outlook Express'"
check "the demo store's folders" bash -c "$(declare -f inRoot); root=$root; inRoot lumbrook-cli --store /tmp/demo-store folders | grep -q '\"Path\":\"Outlook Express/Local Folders/Inbox\"'"
check "the demo store converted" inRoot lumbrook-cli --store /tmp/demo-store convert --to /tmp/converted
check "the Inbox as mbox" test -s "$root/tmp/converted/Inbox"
check "the Inbox saved" bash -c "$(declare -f inRoot); root=$root; inRoot lumbrook-cli --store /tmp/demo-store save Inbox.dbx --to /tmp/saved | grep -q '^Saved 12 messages to /tmp/saved.$'"
check "bash completion installed" test -f "$root/usr/share/bash-completion/completions/lumbrook-cli"
check "design templates installed" test -f "$root/usr/share/lumbrook/template/plain.htm"

echo "== removed"
check "apt-get remove" bash -c "$(declare -f inRoot); root=$root; inRoot apt-get remove -y -q lumbrook >>$work/apt.log 2>&1"
check "nothing of it left in /usr/bin" test ! -e "$root/usr/bin/lumbrook-cli" -a ! -e "$root/usr/bin/lumbrook"
[ "$failed" = 0 ] && echo "the package installs, runs and goes again"
exit "$failed"
