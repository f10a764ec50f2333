#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it into a scratch
# root and checks what a user gets: the programs start, the manual pages
# render, lintian finds no error, the systemd units parse, name the installed
# program and give it the options of its files as the right words.
#   usage: scripts/package-test.sh BUILD_DIR
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
            usr/share/doc/vantrel/examples/vantrel.default usr/share/doc/vantrel/examples/notify-ntfy.sh \
            usr/share/doc/vantrel/examples/notify-mail.sh \
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
for file in /etc/default/vantrel /etc/vantrel/%i.conf; do
  grep -qx "EnvironmentFile=-$file" "$unit" || fail "the unit does not read $file"
done
for variable in $(grep -o '^#*VANTREL_[A-Z_]*' "$root/usr/share/doc/vantrel/examples/vantrel.default" | tr -d '#'); do
  grep -q "\$\$$variable" "$unit" || fail "the unit does not use $variable of vantrel.default"
done
# The words the unit's shell lines give the program, run as systemd runs them
# ($$ is a $), with a stub in the program's place that prints them.
printf '#!/bin/sh\nprintf "[%%s]" "$@"\n' >"$scratch/stub" && chmod +x "$scratch/stub"
words() {  # EXPECTED KEY ENVIRONMENT...
  local line got
  line=$(sed -n "s|^$2=/bin/sh -c '\(.*\)'\$|\1|p" "$unit")
  [[ $line == *'exec /usr/bin/vantrel '* ]] || fail "$2 does not run /usr/bin/vantrel"
  line=${line//\$\$/\$}
  got=$(cd "$scratch" && env -i "${@:3}" /bin/sh -c "${line//\/usr\/bin\/vantrel/$scratch/stub}")
  [[ $got == "$1" ]] || fail "$2 with ${*:3} gives '$got', not '$1'"
}
device='Telescope Simulator@localhost:7624'
words '[--console][--resume]' ExecStart
words "[--console][--resume][--indi][$device][--zone][Europe/Berlin][*]" ExecStart \
      "VANTREL_INDI=$device" 'VANTREL_OPTIONS=--zone Europe/Berlin  *'
words '[--console][--resume][--notify][/etc/vantrel/hook "a b" $HOME]' ExecStart 'VANTREL_NOTIFY=/etc/vantrel/hook "a b" $HOME'
words '[--console][--resume][--weather][Weather Simulator@h:7625][--web][0]' ExecStart \
      'VANTREL_WEATHER=Weather Simulator@h:7625' 'VANTREL_OPTIONS=--web 0'
words '[--park]' ExecStopPost SERVICE_RESULT=signal
words "[--park][--indi][$device]" ExecStopPost SERVICE_RESULT=timeout "VANTREL_INDI=$device" 'VANTREL_OPTIONS=--web 8080'
words '' ExecStopPost SERVICE_RESULT=success "VANTREL_INDI=$device"
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
