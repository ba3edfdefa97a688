#!/usr/bin/env bash
# check_package.sh BUILD: builds the Debian package of BUILD with cpack and
# checks its file list, ownership and modes, links, computed dependencies and
# maintainer scripts.
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
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/morvel.svg"
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
# helper's), plus passwd for groupadd.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6svg6 libemf2svg1 libmdb3 libsqlite3-0 passwd; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

dpkg-deb -e "$deb" "$tmp/control"
for script in postinst postrm; do
    [ -x "$tmp/control/$script" ] || fail "$script missing or not executable"
    sh -n "$tmp/control/$script" || fail "$script: syntax error"
done
echo "deb package: all checks passed"
