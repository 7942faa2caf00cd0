#!/usr/bin/env bash
# Builds the Debian package with CPack into a temporary folder and checks it as
# a user would get it: lintian without errors or warnings (nor hardening
# notes), its dependencies, the desktop entries and metainfo valid, the
# documentation, manual pages and completion in place, and the programs of the
# unpacked tree starting.
# package_test.sh CPACK CPACK_CONFIG PROGRAM...
set -euo pipefail
cpack=$1
config=$2
shift 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in lintian desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup installs it)"
done

"$cpack" --config "$config" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
pkg=$(dpkg-deb -f "$deb" Package)

# lintian: no error, no warning, and no hardening note but the fortify one,
# which it also gives a binary that makes no call fortify can check (checked
# below instead).
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" \
  >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian"; }
if grep -E '^[EW]: |hardening-' "$work/lintian.log" | grep -v hardening-no-fortify-functions; then
  fail "lintian tags above"
fi

depends=$(dpkg-deb -f "$deb" Depends)
has_dep() { grep -Eq "(^|, )$1( |,|$)" <<<"$depends"; }
for dep in libqt6core6 libqt6gui6 libqt6printsupport6 libqt6serialport6 qt6-translations-l10n \
  fonts-dejavu-core; do
  has_dep "$dep" || fail "Depends lacks $dep: $depends"
done
! has_dep qt6-qpa-plugins || fail "Depends names qt6-qpa-plugins, which nothing loads"

root="$work/root"
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
for program in "$@"; do
  [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program missing"
  [ -s "$share/man/man1/$program.1.gz" ] || fail "manual page of $program missing"
  gzip -t "$share/man/man1/$program.1.gz" || fail "manual page of $program not gzip"
  # In English and in Russian, each rendering without a warning.
  [ -s "$share/man/ru/man1/$program.1.gz" ] || fail "Russian manual page of $program missing"
  for page in "$share/man/man1/$program.1.gz" "$share/man/ru/man1/$program.1.gz"; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$work/page.txt" 2>"$work/page.err" ||
      fail "man cannot show $page"
    [ ! -s "$work/page.err" ] || { cat "$work/page.err" >&2; fail "man warns about $page"; }
  done
  grep -q '^ИМЯ' "$work/page.txt" || fail "the Russian page of $program is not Russian"
  # lintian checks RELRO, BIND_NOW and PIE; the stack protector here.
  readelf --dyn-syms -W "$root/usr/bin/$program" >"$work/$program.syms"
  grep -q __stack_chk_fail "$work/$program.syms" || fail "$program lacks the stack protector"
done
# Built with fortify: checked calls (__*_chk) where the sizes are known.
grep -q '__[a-z_]*_chk@' "$work"/*.syms || fail "no program uses fortified functions"
for file in doc/$pkg/copyright doc/$pkg/changelog.gz doc/$pkg/README.md \
  bash-completion/completions/lumkctl; do
  [ -s "$share/$file" ] || fail "usr/share/$file missing"
done
grep -q '^License: Expat' "$share/doc/$pkg/copyright" || fail "copyright without its licence"
# The operator's guide with every picture it shows.
guide=$share/doc/$pkg/guide
[ -s "$guide/guide.html" ] || fail "the operator's guide is not installed"
pictures=$(sed -n 's/.*src="\([^"]*\)".*/\1/p' "$guide/guide.html")
[ -n "$pictures" ] || fail "the installed guide shows no picture"
for picture in $pictures; do
  [ -s "$guide/$picture" ] || fail "the guide's picture $picture is not installed"
done

# Desktop entries: valid, named (untranslated and in Russian), in more than
# the Utility category, with the icon installed.
check_desktop() { # check_desktop NAME NAME[ru] EXEC
  local file=$share/applications/$1.desktop
  desktop-file-validate "$file" || fail "$1.desktop does not validate"
  grep -qx "Name=$2" "$file" || fail "$1.desktop without Name=$2"
  grep -qx "Name\[ru\]=$3" "$file" || fail "$1.desktop without Name[ru]=$3"
  grep -qx "Exec=$4" "$file" || fail "$1.desktop does not start $4"
  grep -Eq '^Categories=Utility;.+' "$file" || fail "$1.desktop only in Utility"
  local icon
  icon=$(sed -n 's/^Icon=//p' "$file")
  [ -s "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon missing"
}
check_desktop lumk-config 'LUM-K configurator' 'ЛУМ-К конфигуратор' 'lumk-config %f'
check_desktop lumk-demo 'LUM-K configurator (demo)' 'ЛУМ-К конфигуратор (демонстрация)' lumk-demo
grep -qx 'MimeType=application/x-lumk-configuration;' "$share/applications/lumk-config.desktop" ||
  fail "lumk-config.desktop does not open .lmk files"
# The MIME type: the installed XML gives .lmk files their type.
mkdir -p "$work/mime/packages"
cp "$share"/mime/packages/*.xml "$work/mime/packages/" || fail "no MIME type XML installed"
update-mime-database "$work/mime" >/dev/null || fail "the MIME type XML is not accepted"
grep -qx 'application/x-lumk-configuration:\*.lmk' "$work/mime/globs" ||
  fail "*.lmk is not application/x-lumk-configuration"
for png in screenshot.png screenshot-dark.png; do
  [ -s "$share/lumk-configurator/screenshots/$png" ] || fail "screenshot $png not installed"
done

metainfo=("$share"/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no metainfo in usr/share/metainfo"
appstreamcli validate --no-net "${metainfo[@]}" || fail "metainfo does not validate"
for text in '<name xml:lang="ru">ЛУМ-К конфигуратор</name>' '<summary xml:lang="ru">' '<name>' \
  '<summary>'; do
  grep -qF "$text" "${metainfo[@]}" || fail "metainfo lacks $text"
done

# Completion: commands, a command's options, .lmk files (as many as the command
# takes), port names.
complete_words() { # complete_words DIR WORD... -> what Tab offers for the last word
  local dir=$1
  shift
  (
    set +eu # as in an interactive shell
    cd "$dir"
    # As bash-completion loads it: sourced inside a function, on demand.
    load() {
      # shellcheck disable=SC1091
      source "$share/bash-completion/completions/lumkctl"
    }
    load
    lumkctl() { # as "lumkctl ports" prints: a device a line, details indented
      [ "$1" = ports ] && printf '%s\n' 'ttyS0 — доступен' 'ttyUSB0 — занят: minicom (PID 7)' \
        '    FTDI FT232R USB UART A1B2C3' '    /dev/serial/by-id/usb-FTDI_A1B2C3-if00-port0'
    }
    COMP_WORDS=(lumkctl "$@")
    COMP_CWORD=$#
    _lumkctl 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
  )
}
mkdir "$work/files"
touch "$work/files/a.lmk" "$work/files/b.txt"
expect_completion() {
  local want=$1
  shift
  local got
  got=$(complete_words "$work/files" "$@")
  [ "$got" = "$want " ] || fail "completing '$*' offered '$got', not '$want'"
}
expect_completion 'write' wr
expect_completion '--verify' write --v
expect_completion '--no-verify' write --no-v
expect_completion '--force' write --f
expect_completion 'a.lmk' diff a.lmk ''
expect_completion '' diff a.lmk a.lmk ''
expect_completion 'a.lmk' show ''
expect_completion 'ttyS0 ttyUSB0' read --port ''
expect_completion 'ttyUSB0' read --port = ttyU
expect_completion 'ttyS0 ttyUSB0' read --port =
touch "$work/files/c.pdf"
expect_completion 'sheet' she
expect_completion 'a.lmk' sheet ''
expect_completion '' sheet --port ttyS0 ''
expect_completion 'c.pdf' sheet a.lmk --output ''

# The unpacked programs start: the tools answer --help and print the package's
# version, the windows keep running on the offscreen platform (in a folder
# without regul.lmk) until stopped.
help=$("$root/usr/bin/lumkctl" --help) || fail "lumkctl --help exited with $?"
grep -q '^Использование: lumkctl' <<<"$help" || fail "unexpected help: $help"
upstream=$(dpkg-deb -f "$deb" Version)
upstream=${upstream%%-*}
for tool in lumkctl lumk-station; do
  version=$("$root/usr/bin/$tool" --version) || fail "$tool --version exited with $?"
  [ "$version" = "$tool $upstream" ] || fail "$tool --version printed '$version', not '$tool $upstream'"
done
status=0
"$root/usr/bin/lumkctl" frobnicate 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a usage error exited with $status, not 2"
"$root/usr/bin/lumk-station" --help >/dev/null || fail "lumk-station --help exited with $?"
# The sheet is drawn without a display, with the package's font.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$root/usr/bin/lumkctl" sheet "$work/files/a.lmk" --output "$work/sheet.pdf" 2>/dev/null ||
  fail "lumkctl sheet without a display exited with $?"
pdffonts "$work/sheet.pdf" | grep -q 'DejaVuSans ' || fail "the sheet does not embed DejaVu Sans"
# The windows answer --help and --version without a display or a window.
for window in lumk-config lumk-demo; do
  version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$window" --version) ||
    fail "$window --version without a display exited with $?"
  [ "$version" = "$window $upstream" ] || fail "$window --version printed '$version'"
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$window" --help) ||
    fail "$window --help without a display exited with $?"
  grep -q "^Использование: $window" <<<"$help" || fail "unexpected $window help: $help"
done
for window in lumk-config lumk-demo; do
  status=0
  (cd "$work/files" && QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/$window") \
    >"$work/$window.log" 2>&1 || status=$?
  [ "$status" -eq 124 ] || { cat "$work/$window.log" >&2; fail "$window ended with $status"; }
done
echo "package ok: $(basename "$deb")"
