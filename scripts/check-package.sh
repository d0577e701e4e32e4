#!/usr/bin/env bash
# Checks a Debian package of Carvox as a user's system would meet it:
#   scripts/check-package.sh build/package/carvox_1.1.0_amd64.deb
# lintian (no errors; the warnings it may give are explained in docs/packaging.md), the
# desktop entry, the AppStream metadata and every man page; then, with the build tree
# moved out of reach, the programs of the unpacked package (tests/packaging/check-programs.sh).
source "$(dirname "$0")/lib.sh"
deb="$(realpath "$1")"
release="$CARVOX_ROOT/build/release"

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 --display-info "$deb"

away="$CARVOX_ROOT/build/release.out-of-reach"
if [ -e "$away" ]; then
  echo "$away exists: an earlier check was interrupted; move it back to $release first" >&2
  exit 1
fi
root="$(mktemp -d)"
restore() {
  if [ -d "$away" ]; then mv "$away" "$release"; fi
  rm -rf "$root"
}
trap restore EXIT
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"

echo "== desktop entry, AppStream metadata"
desktop-file-validate "$share"/applications/*.desktop
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml

echo "== the AKAI disc image type, as GLib's content-type guessing sees it"
mime="$root/mime-check"
mkdir -p "$mime/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$share"/mime/packages/*.xml "$mime/mime/packages/"
export XDG_DATA_HOME="$mime" XDG_DATA_DIRS="$mime"
update-mime-database "$mime/mime"
content_type() {
  gio info -a standard::content-type "$1" | sed -n 's/.*content-type: //p'
}
head -c 4096 "$release/demo.iso" >"$mime/akai-disc"
head -c 4096 /dev/zero >"$mime/other-disc"
akai_type="$(content_type "$mime/akai-disc")"
other_type="$(content_type "$mime/other-disc")"
if [ "$akai_type" != application/x-akai-cdrom ] || [ "$other_type" = application/x-akai-cdrom ]; then
  echo "an AKAI disc's first blocks are of type $akai_type, zeros of type $other_type" >&2
  exit 1
fi

unset XDG_DATA_HOME XDG_DATA_DIRS

echo "== man pages"
programs=$(ls "$root/usr/bin")
for program in $programs; do
  page="$share/man/man1/$program.1.gz"
  [ -f "$page" ] || { echo "no man page for $program" >&2; exit 1; }
  warnings="$(zcat "$page" | groff -man -ww -z 2>&1)"
  [ -z "$warnings" ] || { echo "$page: $warnings" >&2; exit 1; }
done

echo "== programs of the unpacked package, without the build tree"
disc="$root/demo.iso"
cp "$release/demo.iso" "$disc"
mv "$release" "$away"
VERSION="$(dpkg-deb -f "$deb" Version)" "$CARVOX_ROOT/tests/packaging/check-programs.sh" "$root/usr/bin" "$disc"
