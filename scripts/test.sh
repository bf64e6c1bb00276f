#!/usr/bin/env bash
# Builds Kelvane and runs every test: the full build in build/ (warnings as errors, window tests on
# the offscreen platform), then every test again in build-asan/ under AddressSanitizer, UBSan and
# LeakSanitizer: the core tests, the command-line tests, the fuzz corpus replay and the window tests.
# Exits non-zero on the first failure.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

section() {
    printf '\n==== %s ====\n' "$*"
}

section "Dependencies"
bash "$root/scripts/deps.sh"
echo "packages ready"

section "Configure build/ (warnings as errors)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_WERROR=ON

section "Build build/"
cmake --build "$root/build" -j2

section "Tests in build/ (QT_QPA_PLATFORM=offscreen)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build" --output-on-failure --no-tests=error -j2

section "Configure build-asan/ (AddressSanitizer + UBSan + LeakSanitizer)"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVANE_SANITIZE=ON -DKELVANE_CORE_ONLY=OFF -DKELVANE_BENCH=OFF

section "Build build-asan/"
cmake --build "$root/build-asan" -j2

section "All tests under the sanitizers (leaks inside system libraries suppressed: scripts/lsan.supp)"
ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}" \
UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}" \
QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$root/build-asan" --output-on-failure --no-tests=error -j2

section "All tests passed"
