#!/usr/bin/env bash
# check_package.sh BUILD: builds the Debian package of BUILD with cpack and
# checks its file list, ownership and modes, links, computed dependencies,
# maintainer scripts, copyright and changelog, and lintian's verdict.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1 \
    || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
debs=("$tmp"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}

# Every entry that is not a folder: mode, owner, path and link target.
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $3 = $4 = $5 = ""; print }' | tr -s ' ' | sort -k3)
expected="-rwxr-xr-x root/root ./opt/morvel/morvel
-rwxr-xr-x root/root ./opt/morvel/morvel-metafile
-rw-r--r-- root/root ./opt/morvel/Images/NoFoto/null_img_1.jpg
-rw-r--r-- root/root ./opt/morvel/Images/NoFoto/null_img_2.jpg
lrwxrwxrwx root/root ./opt/morvel/morvel.INI -> /var/lib/morvel/morvel.INI
lrwxrwxrwx root/root ./usr/bin/morvel -> /opt/morvel/morvel
-rw-r--r-- root/root ./usr/share/applications/morvel.desktop
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/22x22/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/24x24/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/morvel.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/morvel.svg
-rw-r--r-- root/root ./usr/share/doc/morvel/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/morvel/copyright
-rw-r--r-- root/root ./usr/share/lintian/overrides/morvel
-rw-r--r-- root/root ./usr/share/man/man1/morvel.1.gz
-rw-r--r-- root/root ./usr/share/man/ru/man1/morvel.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/invalid.morvel.morvel.metainfo.xml"
expected=$(sort -k3 <<<"$expected")
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "package entries differ (< expected, > packaged)"
fi
# No folder the package ships may be writable by anyone but root: the
# configuration's writable folder is made by postinst, outside /opt.
writable=$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 ~ /^d....w/ || $1 ~ /^d.......w/ || $2 != "root/root")')
[ -z "$writable" ] || fail "folders writable by others: $writable"

mkdir "$tmp/x"
dpkg-deb -x "$deb" "$tmp/x"
grep -qxF 'Exec="/opt/morvel/morvel"' "$tmp/x/usr/share/applications/morvel.desktop" \
    || fail "the desktop entry does not start /opt/morvel/morvel"
desktop-file-validate "$tmp/x/usr/share/applications/morvel.desktop" || fail "desktop entry invalid"

# Dependencies read off the executables (QtSvg and libemf2svg: the metafile
# helper's), plus passwd for groupadd and libwmf with its fonts, which the
# helper loads at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6svg6 libemf2svg1 libmdb3 libsqlite3-0 passwd libwmf-0.2-7 fonts-urw-base35; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

dpkg-deb -e "$deb" "$tmp/control"
for script in postinst postrm; do
    [ -x "$tmp/control/$script" ] || fail "$script missing or not executable"
    sh -n "$tmp/control/$script" || fail "$script: syntax error"
done

# A machine-readable copyright whose every file is under the GPL, version 2
# or later, but the metadata, under the FSF's all-permissive licence.
doc="$tmp/x/usr/share/doc/morvel"
head -n1 "$doc/copyright" | grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    || fail "copyright is not in the machine-readable format"
licences=$(awk '/^Files:/ { files = $0 } /^License:/ { print files " -> " $0 }' "$doc/copyright")
[ "$licences" = "Files: * -> License: GPL-2+
Files: dist/invalid.morvel.morvel.metainfo.xml -> License: FSFAP" ] || fail "copyright licences: $licences"

# The changelog's latest entry is the version the program prints and the
# package has, signed by the package's maintainer, who is no local host.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tmp/x/opt/morvel/morvel" --version | cut -d' ' -f2)
zcat "$doc/changelog.gz" >"$tmp/changelog"
top=$(head -n1 "$tmp/changelog")
[ "$top" = "morvel ($version) bookworm; urgency=medium" ] || fail "changelog starts: $top (morvel --version: $version)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), not $version"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
signed=$(sed -n '/^ -- /{s/^ -- \(.*>\)  .*/\1/p;q}' "$tmp/changelog")
[ "$signed" = "$maintainer" ] || fail "changelog signed by $signed, package maintained by $maintainer"

# lintian finds no error and no warning, and every override it is given is
# used and has its reason on the line above.
lintian --display-info "$deb" >"$tmp/lintian.txt" 2>"$tmp/lintian.err" || true
if grep -E '^[EW]: |unused-override' "$tmp/lintian.txt" >&2 || grep -v 'root privileges' "$tmp/lintian.err" >&2; then
    fail "lintian's findings above"
fi
awk 'NF && !/^#/ && prev !~ /^# ./ { bad = 1; print "no reason: " $0 } { prev = $0 } END { exit bad }' \
    "$tmp/x/usr/share/lintian/overrides/morvel" >&2 || fail "an override without its reason"
echo "deb package: all checks passed"
