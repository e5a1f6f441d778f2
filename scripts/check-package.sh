#!/usr/bin/env bash
# Checks a built Debian package of Tessary without installing it:
#   scripts/check-package.sh PACKAGE.deb
# its control fields, that it holds exactly the expected files, that the
# unpacked programs run and leave the user's folders alone, that the desktop
# entry, MIME package, AppStream data, man pages and bash completion are
# valid, that apt could install it here, and lintian's verdict. The tools
# that are not installed are left out (scripts/install-deps.sh brings them).
set -euo pipefail
deb=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
problems=0
fail() {
  echo "package check: $*" >&2
  problems=$((problems + 1))
}
have() { command -v "$1" >/dev/null 2>&1; }

# Control fields: the dependencies come from dpkg-shlibdeps, so they name
# the Qt libraries the programs link with, and the PDF, zip and XML
# libraries that read the words of documents.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tessary ] || fail "package name is '$(field Package)'"
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libpoppler-cpp0v5 libzip4 libpugixml1v5; do
  tr ',' '\n' <<<"$depends" | awk -v lib="$lib" '$1 == lib { found = 1 } END { exit !found }' ||
    fail "Depends lacks $lib: $depends"
done

# Contents: every expected file, and nothing else (pages of the manual may
# be added freely).
expected=(
  usr/bin/tessary
  usr/bin/tessary-cli
  usr/share/applications/tessary.desktop
  usr/share/mime/packages/tessary.xml
  usr/share/metainfo/tessary.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/tessary.svg
  usr/share/icons/hicolor/scalable/mimetypes/application-x-tessary-library.svg
  usr/share/man/man1/tessary.1.gz
  usr/share/man/man1/tessary-cli.1.gz
  usr/share/bash-completion/completions/tessary-cli
  usr/share/doc/tessary/copyright
  usr/share/doc/tessary/changelog.gz
  usr/share/tessary/manual/index.html
  usr/share/tessary/manual/style.css
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x$size/apps/tessary.png"
    "usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-tessary-library.png")
done
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$scratch/files"
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
missing=$(comm -13 "$scratch/files" "$scratch/expected")
extra=$(comm -23 "$scratch/files" "$scratch/expected" | grep -v '^usr/share/tessary/manual/' || true)
[ -z "$missing" ] || fail "missing from the package: $(echo $missing)"
[ -z "$extra" ] || fail "unexpected in the package: $(echo $extra)"

# The unpacked programs run, and the installed copy leaves the user's data
# folder as it was.
root=$scratch/root
dpkg-deb -x "$deb" "$root"
if ldd "$root/usr/bin/tessary" "$root/usr/bin/tessary-cli" | grep -q 'not found'; then
  fail "libraries not found: $(ldd "$root/usr/bin/tessary" | grep 'not found' | head -3)"
fi
"$root/usr/bin/tessary-cli" --help >/dev/null || fail "tessary-cli --help failed"
mkdir -p "$scratch/home/data" "$scratch/home/config"
if ! XDG_DATA_HOME=$scratch/home/data XDG_CONFIG_HOME=$scratch/home/config QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/tessary" --version >"$scratch/version" 2>&1; then
  fail "tessary --version failed: $(cat "$scratch/version")"
fi
[ -z "$(ls -A "$scratch/home/data")" ] || fail "the installed program wrote into the user's data folder"

share=$root/usr/share
if have desktop-file-validate; then
  desktop-file-validate "$share/applications/tessary.desktop" || fail "desktop entry is not valid"
fi
if have appstreamcli; then
  # The component id is the desktop entry's name, not a reversed domain.
  appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
    "$share/metainfo/tessary.metainfo.xml" >"$scratch/appstream" 2>&1 ||
    fail "AppStream data is not valid: $(cat "$scratch/appstream")"
fi
if have update-mime-database; then
  update-mime-database "$share/mime" >/dev/null 2>&1 || fail "update-mime-database failed"
  grep -q 'application/x-tessary-library:\*\.dli' "$share/mime/globs2" 2>/dev/null ||
    fail "*.dli is not registered as application/x-tessary-library"
fi
for page in tessary tessary-cli; do
  file=$share/man/man1/$page.1.gz
  if have groff; then
    warnings=$(zcat "$file" | groff -man -Tutf8 -ww -z 2>&1 || true)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
  fi
  if have lexgrog; then
    lexgrog "$file" >/dev/null || fail "$page.1 has no NAME line that whatis can read"
  fi
done
completed=$(bash -c 'source "$1"; COMP_WORDS=(tessary-cli se); COMP_CWORD=1; _tessary_cli; echo "${COMPREPLY[*]}"' \
  _ "$share/bash-completion/completions/tessary-cli")
[ "$completed" = search ] || fail "bash completion of 'tessary-cli se' gave '$completed'"

# apt could install it with what this machine's sources offer.
if have apt-get; then
  apt-get install --simulate --no-install-recommends "$deb" >"$scratch/apt" 2>&1 ||
    fail "apt cannot install the package: $(tail -5 "$scratch/apt")"
fi

if have lintian; then
  if ! lintian --fail-on error,warning "$deb" >"$scratch/lintian" 2>&1; then
    grep -v 'running with root privileges' "$scratch/lintian" >&2 || true
    fail "lintian found errors or warnings"
  fi
fi

if [ $problems -gt 0 ]; then
  echo "package check: $problems problem(s) in $deb" >&2
  exit 1
fi
echo "package check: $(basename "$deb") is fine ($(wc -l <"$scratch/files") files; Depends: $depends)"
