#!/usr/bin/env bash
# check_install.sh BUILD VERSION BUILD_NUMBER: installs BUILD into a fresh
# prefix (with a blank in its path) and checks the files there, the desktop
# entry, and the installed program's options, run without a display.
set -euo pipefail
build=$1 version=$2 build_number=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/Morvel test"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# Exactly these files: no configuration file, nothing of the tools or tests.
expected="Images/NoFoto/null_img_1.jpg
Images/NoFoto/null_img_2.jpg
morvel
morvel-metafile
share/applications/morvel.desktop
share/icons/hicolor/128x128/apps/morvel.png
share/icons/hicolor/16x16/apps/morvel.png
share/icons/hicolor/22x22/apps/morvel.png
share/icons/hicolor/24x24/apps/morvel.png
share/icons/hicolor/256x256/apps/morvel.png
share/icons/hicolor/32x32/apps/morvel.png
share/icons/hicolor/48x48/apps/morvel.png
share/icons/hicolor/64x64/apps/morvel.png
share/icons/hicolor/scalable/apps/morvel.svg
share/man/man1/morvel.1.gz
share/man/ru/man1/morvel.1.gz
share/metainfo/invalid.morvel.morvel.metainfo.xml"
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "installed files differ (< expected, > installed)"
fi
for png in "$prefix"/share/icons/hicolor/*x*/apps/morvel.png; do
    size=${png%/apps/*}; size=${size##*/}
    file -b "$png" | grep -q "^PNG image data, ${size/x/ x }," || fail "$png is not a $size PNG"
done

entry="$prefix/share/applications/morvel.desktop"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop entry invalid: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
grep -qxF "Exec=\"$prefix/morvel\"" "$entry" || fail "Exec does not name the installed morvel: $(grep ^Exec= "$entry")"

# Both manual pages render without a warning from man or groff and tell
# what the page must: the options, the one key, the group, both picture folders.
for page in man1 ru/man1; do
    file="$prefix/share/man/$page/morvel.1.gz"
    MANWIDTH=80 man --warnings -l "$file" >"$tmp/man.txt" 2>"$tmp/man.err" || fail "man -l $page/morvel.1.gz failed: $(cat "$tmp/man.err")"
    [ ! -s "$tmp/man.err" ] || fail "man -l $page/morvel.1.gz warns: $(cat "$tmp/man.err")"
    for word in --version --help PathToBD '[BD]' morvel.INI Images/Instrument/ Images/NoFoto/ /var/lib/morvel adduser; do
        grep -qF -- "$word" "$tmp/man.txt" || fail "$page/morvel.1 rendered does not mention $word"
    done
done

# The AppStream metadata is valid and belongs to the installed desktop entry.
metainfo="$prefix/share/metainfo/invalid.morvel.morvel.metainfo.xml"
report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
grep -qF '<launchable type="desktop-id">morvel.desktop</launchable>' "$metainfo" \
    || fail "the metadata does not name morvel.desktop"

# No display at all: --version and --help must not need one. Started through
# a link elsewhere, as /usr/bin/morvel starts it, the program still finds its
# own folder: the configuration file and the fallback pictures named there.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
mkdir "$tmp/bin"
ln -s "$prefix/morvel" "$tmp/bin/morvel"
for exe in "$prefix/morvel" "$tmp/bin/morvel"; do
    out=$("${headless[@]}" "$exe" --version) || fail "$exe --version exited with $?"
    [ "$out" = "Morvel $version (Сборка $build_number)" ] || fail "--version printed: $out"

    out=$("${headless[@]}" "$exe" --help) || fail "$exe --help exited with $?"
    grep -qxF "  $prefix/morvel.INI" <<<"$out" || fail "--help does not name $prefix/morvel.INI: $out"
    grep -qxF "  $prefix/Images/NoFoto/" <<<"$out" || fail "--help does not name the pictures' folder: $out"
done
for picture in null_img_1.jpg null_img_2.jpg; do
    file -b "$prefix/Images/NoFoto/$picture" | grep -q '^JPEG image data' || fail "$picture is not a JPEG"
done

# Anything else is refused with the usage line on stderr, after Qt has taken
# its own options away: "-style Fusion --version" is still --version.
export QT_QPA_PLATFORM=offscreen
out=$("$prefix/morvel" -style Fusion --version) || fail "-style Fusion --version exited with $?"
[ "$out" = "Morvel $version (Сборка $build_number)" ] || fail "-style Fusion --version printed: $out"
for args in "--bogus" "--version --help" "-platform offscreen file.mdb"; do
    status=0
    # shellcheck disable=SC2086
    "$prefix/morvel" $args >"$tmp/out" 2>"$tmp/err" || status=$?
    [ "$status" = 2 ] || fail "morvel $args exited with $status, not 2"
    [ ! -s "$tmp/out" ] || fail "morvel $args printed on stdout: $(cat "$tmp/out")"
    # (Qt may warn on stderr first, e.g. of an unset XDG_RUNTIME_DIR.)
    [ "$(tail -n1 "$tmp/err")" = "Использование: morvel [--version | --help]" ] \
        || fail "morvel $args printed on stderr: $(cat "$tmp/err")"
done
echo "install layout: all checks passed"
