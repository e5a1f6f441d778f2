#!/usr/bin/env bash
# Installs what building, running and testing Tessary needs on Debian 12
# (bookworm) or a close relative. Does nothing when everything is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libblkid-dev # volume identities (UUID, label) read from the device
  # the words inside documents: PDF, and the office formats' zip and XML
  libpoppler-cpp-dev libzip-dev libpugixml-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-translations-l10n # Qt's own buttons and dialogs in Chinese
  clang libclang-rt-14-dev clang-format
  xvfb xauth
  fonts-wqy-microhei # the interface is in Chinese: a font with its glyphs
  # the Debian package: its dependencies (dpkg-shlibdeps, file) and the
  # checks of what it installs
  dpkg-dev file lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
