#!/usr/bin/env bash
# check_postinst.sh SOURCE_DIR: runs the package's postinst ("configure") as
# dpkg would, in scratch roots (DPKG_ROOT, DPKG_ADMINDIR with its own
# statoverride file) and with the group morvel given by nss_wrapper, so that
# nothing of this machine's accounts, dpkg database or /var/lib is used.
# Needs root, as dpkg runs it (ctest skips it otherwise).
set -euo pipefail
postinst=$1/dist/debian/postinst
[ "$(id -u)" = 0 ] || { echo "not root: skipped"; exit 77; }
nss=$(find /usr/lib -name libnss_wrapper.so -print -quit)
[ -n "$nss" ] || { echo "FAIL: libnss_wrapper.so missing (setup.sh installs libnss-wrapper)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf 'root:x:0:0:root:/root:/bin/sh\n' >"$tmp/passwd"
printf 'root:x:0:\nstaff:x:50:\nmorvel:x:4711:\n' >"$tmp/group"
mkdir "$tmp/bin"
printf '#!/bin/sh\necho "groupadd run: the group is there" >&2\nexit 1\n' >"$tmp/bin/groupadd"
chmod +x "$tmp/bin/groupadd"

# new_root NAME [OVERRIDE]: an empty root with a dpkg database.
new_root() {
    mkdir -p "$tmp/$1/var/lib/dpkg"
    echo -n "${2:+$2$'\n'}" >"$tmp/$1/var/lib/dpkg/statoverride"
}
configure() {
    env PATH="$tmp/bin:$PATH" LD_PRELOAD="$nss" NSS_WRAPPER_PASSWD="$tmp/passwd" NSS_WRAPPER_GROUP="$tmp/group" \
        DPKG_ROOT="$tmp/$1" DPKG_ADMINDIR="$tmp/$1/var/lib/dpkg" sh "$postinst" configure \
        || fail "$1: postinst failed"
}
# Owner, mode, kind, inode, time and contents of what the root's /var/lib holds.
state() {
    (cd "$tmp/$1/var/lib" && find . -mindepth 1 -path ./dpkg -prune -o -printf '%p %U:%G %m %y %i %T@ %l\n' | sort
     cat morvel/morvel.INI)
}
expect() {
    local actual
    actual=$(state "$1" | awk '{ print $1, $2, $3, $4 }')
    [ "$actual" = "$2" ] || { diff <(echo "$2") <(echo "$actual") >&2 || true; fail "$1: /var/lib differs (< expected)"; }
}

# A reinstall after a purge: the override stays registered, the folder is gone.
new_root override "root staff 2770 /var/lib/morvel"
configure override
expect override "./morvel 0:50 2770 d
./morvel/morvel.INI 0:50 664 f"
printf '[BD]\nPathToBD=/x.mdb\n' >"$tmp/override/var/lib/morvel/morvel.INI"
before=$(state override)
configure override
[ "$(state override)" = "$before" ] || fail "a second run changed something"

# No override: the defaults.
new_root plain
configure plain
expect plain "./morvel 0:4711 2775 d
./morvel/morvel.INI 0:4711 664 f"

# A link planted at the file's name, to a file or to none: replaced, the
# file it names neither changed nor made.
for target in secret made; do
    new_root "$target"
    mkdir -m 2775 "$tmp/$target/var/lib/morvel"
    echo secret >"$tmp/$target/secret"
    chmod 0600 "$tmp/$target/secret"
    ln -s "../../../$target" "$tmp/$target/var/lib/morvel/morvel.INI"
    configure "$target"
    expect "$target" "./morvel 0:4711 2775 d
./morvel/morvel.INI 0:4711 664 f"
    [ "$(stat -c '%u:%g %a' "$tmp/$target/secret")" = "0:0 600" ] && [ "$(cat "$tmp/$target/secret")" = secret ] \
        && [ ! -e "$tmp/$target/made" ] || fail "$target: the planted link's target changed"
done

echo "postinst: all checks passed"
