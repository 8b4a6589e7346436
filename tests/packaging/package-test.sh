#!/usr/bin/env bash
# The Debian package as a user gets it: made with CPack from the built tree, unpacked into a
# temporary root (as dpkg -i would place it), its programs run from there with a fresh home,
# and its files checked with the tools distributions use.
# Usage: package-test.sh BUILD_DIR WRITE_SAMPLE_XLS [CPACK]
set -uo pipefail
build=$1
write_xls=$2
cpack=${3:-cpack}
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v dpkg-deb >/dev/null; then
  echo "skipped: dpkg-deb is not installed (not a Debian system)"
  exit 77
fi
failed=0
fail() { echo "FAIL: $*"; failed=1; }
need() { command -v "$1" >/dev/null || { fail "$1 missing (scripts/install-deps installs it)"; return 1; }; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The package, from what the build made (no rebuild: make test has just built everything).
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$tmp"/pkg/*.deb)
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || fail "Depends does not name the Qt libraries"
root=$tmp/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }

for f in usr/bin/vmx-monitor usr/bin/vmxctl usr/bin/vmx-sim usr/libexec/vmx-monitor/vmx-xls-read \
  usr/share/vmx-monitor/MONITOR.INI usr/share/vmx-monitor/TEST.INI usr/share/vmx-monitor/QVR.hex \
  usr/share/vmx-monitor/Doc/HelpOverviewD.htm usr/share/applications/vmx-monitor.desktop \
  usr/share/icons/hicolor/scalable/apps/vmx-monitor.svg usr/share/metainfo/com.velmotrix.monitor.metainfo.xml \
  usr/lib/udev/rules.d/60-vmx-monitor.rules usr/share/doc/vmx-monitor/copyright \
  usr/share/doc/vmx-monitor/changelog.gz usr/share/man/man1/vmx-monitor.1.gz usr/share/man/man1/vmxctl.1.gz \
  usr/share/man/man1/vmx-sim.1.gz usr/share/bash-completion/completions/vmxctl \
  usr/share/zsh/vendor-completions/_vmxctl; do
  [ -f "$root/$f" ] || fail "not in the package: /$f"
done
[ -e "$root/usr/bin/vmx-xls-read" ] && fail "vmx-xls-read belongs in libexec, not bin"

# The installed programs, as a new user on a fresh home.
export HOME=$tmp/home
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME"
bin=$root/usr/bin
for p in vmx-monitor vmxctl vmx-sim; do
  v=$("$bin/$p" --version | head -n1)
  [[ $v =~ ^$p\ [0-9]+\.[0-9]+\.[0-9]+\ \(revision\ .+\)$ ]] || fail "$p --version: '$v'"
done
echo "$("$bin/vmxctl" --version | head -n1)"
out=$("$bin/vmxctl" --simulate capture -n 5 2>"$tmp/err") || fail "vmxctl --simulate capture -n 5: $(cat "$tmp/err")"
# The header row first, then the samples.
[ "$(cut -f1 <<<"$out" | tr '\n' ' ')" = "Ix 0 1 2 3 4 " ] || fail "capture -n 5 did not print its header and samples 0..4: $out"
# The first start seeded the user's configuration folder from the shipped files.
cmp -s "$HOME/.config/vmx-monitor/MONITOR.INI" "$root/usr/share/vmx-monitor/MONITOR.INI" ||
  fail "MONITOR.INI not seeded into ~/.config/vmx-monitor"
[ -f "$HOME/.config/vmx-monitor/TEST.INI" ] || fail "TEST.INI not seeded"
cfg=$("$bin/vmxctl" config 2>/dev/null)
for line in "folders=installed" "configfolder=$HOME/.config/vmx-monitor" "datafolder=$HOME/.local/share/vmx-monitor" \
  "sharedfolder=$root/usr/share/vmx-monitor"; do
  grep -qxF "$line" <<<"$cfg" || fail "vmxctl config does not say $line"
done
# TEST.INI's images are found among the shipped files.
"$bin/vmxctl" --simulate test list >/dev/null 2>&1 || fail "vmxctl test list on the seeded TEST.INI"
# A legacy workbook: the import runs vmx-xls-read from libexec.
"$write_xls" "$tmp/old.xls" 40 || fail "could not write the sample workbook"
rows=$("$bin/vmxctl" import "$tmp/old.xls" 2>"$tmp/err" | cut -f1 | tail -n1)
[ "$rows" = 39 ] || fail "import of an .xls from the installed tree: $rows lines; $(cat "$tmp/err")"
# --config-dir keeps everything in the folder named.
mkdir -p "$tmp/station"
grep -qxF "configfolder=$tmp/station" <<<"$("$bin/vmxctl" --config-dir "$tmp/station" config 2>/dev/null)" ||
  fail "--config-dir is not the configuration folder"

# Man pages render; the completions complete.
for p in vmx-monitor vmxctl vmx-sim; do
  page=$(MANWIDTH=80 man -l -P cat "$root/usr/share/man/man1/$p.1.gz" 2>"$tmp/err") || fail "man -l $p.1.gz"
  grep -q -- "--config-dir\|--profile" <<<"$page" || fail "$p(1) does not show the options"
  [ -s "$tmp/err" ] && { echo "man $p: $(cat "$tmp/err")"; }
done
completed=$(bash -c 'source "$1"; COMP_WORDS=(vmxctl --simulate command po); COMP_CWORD=3; _vmxctl; echo "${COMPREPLY[*]}"' \
  _ "$root/usr/share/bash-completion/completions/vmxctl")
[ "$completed" = "power" ] || fail "bash completion of 'vmxctl --simulate command po': '$completed'"
if command -v zsh >/dev/null; then zsh -n "$root/usr/share/zsh/vendor-completions/_vmxctl" || fail "zsh completion syntax"; fi

# What distributions validate.
if need desktop-file-validate; then
  desktop-file-validate "$root/usr/share/applications/vmx-monitor.desktop" || fail "desktop-file-validate"
fi
if need appstreamcli; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/com.velmotrix.monitor.metainfo.xml" ||
    fail "appstreamcli validate"
fi
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' \
  "$root/usr/share/icons/hicolor/scalable/apps/vmx-monitor.svg" || fail "icon is not well-formed SVG"
rules=$root/usr/lib/udev/rules.d/60-vmx-monitor.rules
if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$rules" || fail "udevadm verify"
else
  echo "udevadm verify not available: the rule is checked by check-udev-rule.py"
fi
python3 "$here/check-udev-rule.py" "$rules" || fail "udev rule"
if need lintian; then
  lintian --fail-on error --tag-display-limit 0 "$deb" >"$tmp/lintian" 2>&1 || fail "lintian reports errors"
  echo "lintian: $(grep -c '^E:' "$tmp/lintian") errors, $(grep -c '^W:' "$tmp/lintian") warnings"
  grep -v '^N:' "$tmp/lintian"
fi

[ $failed -eq 0 ] && echo "package ok"
exit $failed
