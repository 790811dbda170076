#!/usr/bin/env bash
# Installs the Debian packages Lumbrook needs to build and test, when they are missing.
# Safe to run again: it installs nothing when everything is present.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libssl-dev libxml2-dev libsqlite3-dev libhivex-dev
    libvmime-dev libgnutls28-dev dovecot-core dovecot-imapd openssl
    qt6-base-dev qt6-svg-dev qt6-webengine-dev
    qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
    media-types xvfb xauth
    poppler-utils
    chromium
    debootstrap dpkg-dev desktop-file-utils appstream groff-base zsh fish
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo="sudo"; else
        echo "These packages are missing and I am not root: ${missing[*]}" >&2; exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
