#!/usr/bin/env bash
# Fuzzes one target of tests/fuzz with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) for SECONDS seconds:
#   scripts/fuzz.sh fuzz_disc_reader 1800 [more libFuzzer options]
# New inputs go to build/fuzz/corpus/TARGET (the repository's corpus is only read);
# crashing inputs to build/fuzz/findings/. A fixed finding's input belongs in
# tests/fuzz/corpus/TARGET, where scripts/test.sh replays it.
source "$(dirname "$0")/lib.sh"
carvox_install_packages

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target="$1"
seconds="$2"
shift 2
dir="$CARVOX_ROOT/build/fuzz"
seeds="$CARVOX_ROOT/tests/fuzz/corpus/$target"
[ -d "$seeds" ] || { echo "$0: no corpus for $target in tests/fuzz/corpus" >&2; exit 2; }

if [ ! -f "$dir/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$CARVOX_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCARVOX_FUZZ=ON -DBUILD_TESTING=OFF
fi
cmake --build "$dir" --target "$target"

mkdir -p "$dir/corpus/$target" "$dir/findings"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
"$dir/bin/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$dir/findings/$target-" "$@" "$dir/corpus/$target" "$seeds"
