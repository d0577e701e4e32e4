#!/usr/bin/env bash
# Runs Carvox's programs as a user would, from BIN_DIR (the build tree's bin/, or the
# usr/bin of an unpacked package), in a home of their own:
#   check-programs.sh BIN_DIR DISC
# - every program answers --help and --version with status 0, and neither creates
#   anything (not even the machine folder);
# - the version is the same everywhere, and is the package's when VERSION is set;
# - an export of DISC (an AKAI disc image with programs) writes WAV files and SoundFont
#   banks, which needs the SoundFont engine the programs load at run time;
# - the disc mounted in a virtual drive lists as the image does, which needs the
#   CD-ROM layer the programs load at run time;
# - the window starts on DISC.
set -euo pipefail
# Nobody answers: a question on the terminal takes its default answer.
exec </dev/null
bin="$(cd "$1" && pwd)"
disc="$(realpath "$2")"
programs=(carvox carvox-cli carvox-vdrive carvox-reg carvox-setup carvox-machine)

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export HOME="$home/home" XDG_DATA_HOME="$home/home/.local/share" XDG_CONFIG_HOME="$home/home/.config"
export XDG_CACHE_HOME="$home/home/.cache" XDG_RUNTIME_DIR="$home/run" CARVOX_MACHINE="$home/machine"
export CARVOX_SOUND=silent QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expected_version="${VERSION:-}"
for program in "${programs[@]}"; do
  help="$("$bin/$program" --help 2>&1)" || fail "$program --help: status $?"
  [[ ${help,,} == *usage* ]] || fail "$program --help prints no usage: $help"
  version="$("$bin/$program" --version 2>&1)" || { fail "$program --version: status $?"; continue; }
  [ -n "$expected_version" ] || expected_version="${version#"$program "}"
  [ "$version" = "$program $expected_version" ] || fail "$program --version says \"$version\", not \"$program $expected_version\""
done
leftovers="$(find "$home" -mindepth 1 -not -path "$HOME" -not -path "$XDG_RUNTIME_DIR")"
[ -z "$leftovers" ] || fail "--help and --version left files behind: $leftovers"

out="$home/export"
if "$bin/carvox-cli" export "$disc" -o "$out" --all >"$home/export.log" 2>&1; then
  wavs="$(find "$out" -name '*.wav' | wc -l)"
  banks="$(find "$out" -name '*.sf2' | wc -l)"
  [ "$wavs" -gt 0 ] && [ "$banks" -gt 0 ] || fail "the export wrote $wavs WAV files and $banks banks"
  while IFS= read -r bank; do
    [ "$(head -c 12 "$bank" | tail -c 4)" = "sfbk" ] || fail "$bank is not a SoundFont bank"
  done < <(find "$out" -name '*.sf2')
else
  fail "carvox-cli export: $(cat "$home/export.log")"
fi

if drive="$("$bin/carvox-vdrive" mount "$disc" 2>&1)"; then
  "$bin/carvox-cli" list "$disc" >"$home/image.txt" 2>&1 || fail "carvox-cli list $disc: $(cat "$home/image.txt")"
  "$bin/carvox-cli" list "$drive" >"$home/drive.txt" 2>&1 || fail "carvox-cli list $drive: $(cat "$home/drive.txt")"
  cmp -s "$home/image.txt" "$home/drive.txt" || fail "drive $drive lists otherwise than its image"
  "$bin/carvox-vdrive" unmount "$drive" || fail "carvox-vdrive unmount $drive"
else
  fail "carvox-vdrive mount: $drive"
fi

# The window, given the image, mounts it in a virtual drive and opens it (on Qt's
# offscreen platform, closing once start-up is done), and frees the drive as it closes.
# A mount or a disc that fails shows a message box, which would hold it open: the
# time-out fails the check instead of hanging it.
if CARVOX_SPLASH_MS=0 CARVOX_CLOSE_AFTER_START=1 timeout 300 "$bin/carvox" "$disc" >"$home/window.log" 2>&1; then
  if "$bin/carvox-vdrive" list | grep -qF "  $disc"; then fail "carvox $disc left its drive mounted"; fi
else
  fail "carvox $disc: $(cat "$home/window.log")"
fi

[ "$failures" -eq 0 ] || exit 1
echo "The programs in $bin answer --help and --version ($expected_version), export banks," \
  "read a virtual drive and open the window."
