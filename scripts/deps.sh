#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Kelvane need, when any is missing.
# As root it installs them; otherwise it prints the apt-get line to run and fails.
# Says nothing when everything is present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build g++       # compiler and build tools
    qt6-base-dev libqcustomplot-dev             # Qt 6 Widgets and PrintSupport, the chart widget
    libgtest-dev libgmock-dev googletest        # core and command-line tests
    libbenchmark-dev hyperfine valgrind         # benchmarks and memory measurements
    clang-14 libclang-rt-14-dev                 # fuzz targets (libFuzzer)
    xvfb xauth xfonts-base fonts-dejavu-core    # a virtual display and fonts for window tests
)

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "deps.sh: not a Debian system (no dpkg-query); install the equivalents of:" >&2
    echo "  ${packages[*]}" >&2
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
    if [[ "$status" != installed ]]; then
        missing+=("$package")
    fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "deps.sh: missing packages: ${missing[*]}" >&2
if [[ "$(id -u)" -ne 0 ]]; then
    echo "deps.sh: run this as root (or through sudo), then run the script again:" >&2
    echo "sudo apt-get install -y --no-install-recommends ${missing[*]}"
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q

# A package the configured archives do not offer would make the whole install fail: name it and go on.
available=()
for package in "${missing[@]}"; do
    candidate="$(apt-cache policy "$package" 2>/dev/null | awk '/Candidate:/ { print $2 }')"
    if [[ -n "$candidate" && "$candidate" != "(none)" ]]; then
        available+=("$package")
    else
        echo "deps.sh: $package is not available from the configured archives; skipped" >&2
    fi
done
if [[ ${#available[@]} -gt 0 ]]; then
    apt-get install -y --no-install-recommends "${available[@]}"
fi
