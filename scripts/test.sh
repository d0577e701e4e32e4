#!/usr/bin/env bash
# Runs every test: the normal build's, the checks of its Debian package
# (scripts/check-package.sh), then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer, where any report fails the run.
# Among them, every fuzz target replays its corpus (tests/fuzz/corpus, TARGET_corpus).
source "$(dirname "$0")/lib.sh"
carvox_install_packages

jobs="$(nproc)"
release="$CARVOX_ROOT/build/release"
asan="$CARVOX_ROOT/build/asan"

carvox_build "$release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$release" --output-on-failure -j "$jobs"

# The Debian package of that build, checked as a user's system would meet it.
deb="$(carvox_package "$release" | tail -n 1)"
"$CARVOX_ROOT/scripts/check-package.sh" "$deb"

carvox_build "$asan" -DCMAKE_BUILD_TYPE=Debug -DCARVOX_SANITIZE=ON
# A report ends the program with status 86, which no Carvox program uses, so that a
# test expecting a program to fail cannot mistake a sanitizer report for that failure.
export ASAN_OPTIONS="suppressions=$CARVOX_ROOT/tests/asan.supp:detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:exitcode=86"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=86"
export LSAN_OPTIONS="suppressions=$CARVOX_ROOT/tests/lsan.supp:print_suppressions=0:exitcode=86"
ctest --test-dir "$asan" --output-on-failure -j "$jobs"
