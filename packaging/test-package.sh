#!/bin/sh
# test-package.sh DEB PROGRAM [--gui]: the package as a user gets it. Unpacks DEB into a scratch
# root (dpkg -x), runs the installed kelmor-tool from there and checks what the package holds
# and needs. Exit 77 (skipped) when there is no package yet or it is older than PROGRAM (the
# freshly built kelmor-tool): `./dev package` makes a new one and runs this with
# KELMOR_PACKAGE_REQUIRED=1, which turns a skip into a failure.
set -eu
deb=$1 built=$2 gui=${3:-}

fail() { echo "FAIL: $*"; exit 1; }
skip() {
    [ "${KELMOR_PACKAGE_REQUIRED:-0}" = 1 ] && fail "$*"
    echo "skipped: $* (./dev package makes a new one)"
    exit 77
}
[ -f "$deb" ] || skip "no package $deb"
[ "$built" -nt "$deb" ] && skip "$deb is older than $built"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

# Dependencies come from shlibdeps: the C++ runtime and Qt are there without being listed by hand.
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6core6; do
    echo "$depends" | grep -q "\b$lib\b" || fail "Depends lacks $lib"
done
[ -z "$gui" ] || echo "$depends" | grep -q "libqt6widgets6" || fail "Depends lacks libqt6widgets6"

dpkg -x "$deb" "$root"
usr=$root/usr
for f in bin/kelmor-tool bin/kelmor-modem-sim \
         share/kelmor/definitions/KL450.smf share/kelmor/definitions/KL160.smf \
         share/kelmor/loaders/h8_38400.bin share/man/man1/kelmor-tool.1.gz \
         share/man/man1/kelmor-modem-sim.1.gz; do
    [ -f "$usr/$f" ] || fail "the package has no /usr/$f"
done
if [ -n "$gui" ]; then
    for f in bin/kelmor share/applications/kelmor.desktop \
             share/icons/hicolor/scalable/apps/kelmor.svg share/man/man1/kelmor.1.gz; do
        [ -f "$usr/$f" ] || fail "the package has no /usr/$f"
    done
    if ldd "$usr/bin/kelmor" | grep -q "not found"; then fail "kelmor lacks libraries"; fi
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$usr/share/applications/kelmor.desktop" || fail "desktop entry"
    fi
fi
for page in "$usr"/share/man/man1/*.gz; do gzip -t "$page" || fail "$page is not gzip"; done

# Run as installed: no KELMOR_HOME, a fresh home folder.
home=$root/home/tech
mkdir -p "$home"
tool() { env -u KELMOR_HOME -u XDG_DATA_HOME HOME="$home" "$usr/bin/kelmor-tool" "$@"; }

tool --help | grep -q "Subcommands:" || fail "kelmor-tool --help"
for def in KL450 KL160; do
    out=$(tool smf check "$usr/share/kelmor/definitions/$def.smf") || fail "smf check $def: $out"
    echo "$out" | grep -q '"ok": true' || fail "smf check $def: $out"
done
tool ports >/dev/null || fail "kelmor-tool ports"
# The settings file and definitions went to the user's folder, seeded with the samples.
folder=$home/.local/share/kelmor
[ -f "$folder/KL450.smf" ] || fail "$folder was not seeded with the sample definitions"
[ ! -e "$usr/bin/kelmor.ini" ] || fail "a settings file beside the installed program"
tool smf catalogue "$folder" | grep -q "^KL450$" || fail "catalogue of $folder"

# The program starts (off screen) and keeps running; it, too, takes the user's folder.
if [ -n "$gui" ]; then
    home=$root/home/other
    mkdir -p "$home"
    rc=0
    env -u KELMOR_HOME -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
        timeout 5 "$usr/bin/kelmor" >"$root/kelmor.out" 2>&1 || rc=$?
    [ "$rc" = 124 ] || { cat "$root/kelmor.out"; fail "kelmor ended by itself (exit $rc)"; }
    [ -f "$home/.local/share/kelmor/KL160.smf" ] || fail "kelmor did not seed its user folder"
fi

echo "package ok: $(basename "$deb")"
