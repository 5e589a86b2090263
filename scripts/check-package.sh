#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it with apt-get and
# runs the installed programs from their installed paths.
#   scripts/check-package.sh [BUILD_DIR]   (default: build; needs root or sudo)
# Needs dpkg-dev and file (scripts/packages-ci.txt) for the package's
# dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
rm -f "$build"/package/veldra_*.deb
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/package"
deb=$(ls "$build"/package/veldra_*.deb)
dpkg-deb --info "$deb" | sed -n '/Depends/p;/Recommends/p'
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=600 "./$deb"

for file in /usr/bin/veldra /usr/bin/veldra-setup /usr/bin/veldra-cli /usr/bin/veldra-dwginfo \
            /usr/bin/veldra-make-sample /usr/bin/veldra-dwgwrite /usr/share/man/man1/veldra-dwgwrite.1 \
            /usr/share/applications/veldra.desktop \
            /usr/share/icons/hicolor/scalable/apps/veldra.svg /usr/share/icons/hicolor/48x48/apps/veldra.png \
            /usr/share/man/man1/veldra.1 /usr/share/man/man1/veldra-cli.1 /usr/share/man/man1/veldra-dwginfo.1 \
            /usr/share/veldra/resources/veldralogo.jpg /usr/share/doc/veldra/README.md /usr/share/doc/veldra/docs/evidence.md \
            /usr/share/doc/veldra/docs/screenshots/main-window.png /usr/share/doc/veldra/copyright; do
  [ -e "$file" ] || { echo "missing after installation: $file" >&2; exit 1; }
done
# The menu starts "veldra" by this name, from the PATH.
grep -qx 'Exec=veldra' /usr/share/applications/veldra.desktop

# Each tool starts from its installed path and answers --version.
for tool in veldra veldra-setup veldra-cli veldra-dwginfo veldra-make-sample; do
  "/usr/bin/$tool" --version >/dev/null || { echo "$tool --version failed" >&2; exit 1; }
done
# veldra-dwgwrite's --version names the version of the drawing it writes.
/usr/bin/veldra-dwgwrite --help >/dev/null || { echo "veldra-dwgwrite --help failed" >&2; exit 1; }
/usr/bin/veldra-dwginfo tests/data/drawings/sample_AC1018.dwg >/tmp/veldra-dwginfo.out
cmp <(sed -n 1p /tmp/veldra-dwginfo.out) <(printf 'version\tAC1018\n')

# A workspace laid down by the installed programs, with the sample class,
# collected from the shell (status 1: the sample class holds copies).
work=$(mktemp -d)
HOME="$work" XDG_CONFIG_HOME="$work/.config" /usr/bin/veldra-setup "$work/ws"
[ -e "$work/ws/resources/veldralogo.jpg" ]
/usr/bin/veldra-make-sample "$work/ws"
status=0
/usr/bin/veldra-cli --workspace "$work/ws" collect "SAMPLE CLASS" || status=$?
[ "$status" -eq 1 ] || { echo "veldra-cli collect on the sample class gave status $status" >&2; exit 1; }
# The window starts (offscreen) on the recorded workspace; closed after a moment.
status=0
HOME="$work" XDG_CONFIG_HOME="$work/.config" QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/veldra || status=$?
[ "$status" -eq 124 ] || { echo "veldra ended early with status $status" >&2; exit 1; }
rm -rf "$work"
echo "The package installs and its programs start."
