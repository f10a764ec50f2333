#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it into a scratch
# root and checks what a user gets: the programs start, the manual pages
# render, lintian finds no error, the systemd units parse and name the
# installed program.   usage: scripts/package-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$scratch"/out/vantrel_*.deb)
root=$scratch/root
dpkg -x "$deb" "$root"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

for file in usr/bin/vantrel usr/bin/vantrel-mountsim usr/share/man/man1/vantrel.1.gz \
            usr/share/man/man1/vantrel-mountsim.1.gz usr/share/bash-completion/completions/vantrel \
            usr/share/doc/vantrel/examples/vantrel.ini usr/share/doc/vantrel/examples/vantrel.adf \
            usr/share/doc/vantrel/copyright usr/lib/systemd/system/vantrel@.service \
            usr/lib/systemd/system/vantrel@.timer usr/lib/sysusers.d/vantrel.conf; do
  [[ -e $root/$file ]] || fail "the package lacks /$file"
done

"$root/usr/bin/vantrel" --version | grep -qx 'vantrel [0-9.]*' || fail "vantrel --version"
# The help is read whole before it is searched: grep -q leaves at the first
# match, and a help longer than one buffer would then die of SIGPIPE.
help=$("$root/usr/bin/vantrel" --help) || fail "vantrel --help"
grep -q -- '--resume' <<<"$help" || fail "vantrel --help does not list --resume"
help=$("$root/usr/bin/vantrel-mountsim" --help) || fail "vantrel-mountsim --help"
grep -q -- '--transcript' <<<"$help" || fail "vantrel-mountsim --help does not list --transcript"

# Every option the program's help lists is in its manual page.
page=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/vantrel.1.gz" 2>"$scratch/man.err")
[[ ! -s $scratch/man.err ]] || { cat "$scratch/man.err" >&2; fail "man reports problems in vantrel(1)"; }
for option in $("$root/usr/bin/vantrel" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$option" <<<"$page" || fail "vantrel(1) does not document $option"
done
for section in 'EXIT STATUS' 'vantrel.ini' 'vantrel.adf' 'THE LOG'; do
  grep -q "$section" <<<"$page" || fail "vantrel(1) lacks '$section'"
done
MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/vantrel-mountsim.1.gz" >/dev/null 2>"$scratch/man.err"
[[ ! -s $scratch/man.err ]] || { cat "$scratch/man.err" >&2; fail "man reports problems in vantrel-mountsim(1)"; }

unit=$root/usr/lib/systemd/system/vantrel@.service
grep -qx 'ExecStart=/usr/bin/vantrel --console --resume' "$unit" || fail "the unit does not start /usr/bin/vantrel"
if command -v systemd-analyze >/dev/null; then
  # verify needs the program where the unit says; point it at the scratch root.
  sed "s|/usr/bin/vantrel|$root/usr/bin/vantrel|" "$unit" >"$scratch/vantrel@srv-observatory.service"
  cp "$root/usr/lib/systemd/system/vantrel@.timer" "$scratch/vantrel@srv-observatory.timer"
  systemd-analyze verify --man=no "$scratch/vantrel@srv-observatory.service" \
    "$scratch/vantrel@srv-observatory.timer" 2>"$scratch/verify.err" || true
  [[ ! -s $scratch/verify.err ]] || { cat "$scratch/verify.err" >&2; fail "systemd-analyze verify"; }
fi

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' >"$scratch/lintian.out" || true
  ! grep -q '^E:' "$scratch/lintian.out" || { cat "$scratch/lintian.out" >&2; fail "lintian reports errors"; }
fi
echo "package-test: $(basename "$deb") ok"
