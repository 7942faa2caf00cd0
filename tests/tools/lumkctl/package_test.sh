#!/usr/bin/env bash
# Builds the Debian package with CPack into a temporary folder, unpacks it with
# dpkg-deb -x and runs the tool from there; checks the package's dependencies,
# programs, desktop entry and icon.
# package_test.sh CPACK CPACK_CONFIG PROGRAM...
set -euo pipefail
cpack=$1
config=$2
shift 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" --config "$config" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6core6 libqt6serialport6 qt6-qpa-plugins qt6-translations-l10n; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for program in "$@"; do
  [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program missing"
done
desktop="$root/usr/share/applications/lumk-config.desktop"
grep -qx 'Name=ЛУМ-К конфигуратор' "$desktop" || fail "desktop entry without its Name"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon missing"

# The unpacked tool runs and answers --help with its usage and status 0.
help=$("$root/usr/bin/lumkctl" --help) || fail "lumkctl --help exited with $?"
grep -q '^Использование: lumkctl' <<<"$help" || fail "unexpected help: $help"
status=0
"$root/usr/bin/lumkctl" frobnicate 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a usage error exited with $status, not 2"
echo "package ok: $(basename "$deb")"
