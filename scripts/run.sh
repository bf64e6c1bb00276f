#!/usr/bin/env bash
# Builds Kelvane into build/ and starts the window on the given logs (default: the sample log).
# Without a display it prints the sample's site tree through kelvane-report instead.
#   scripts/run.sh [LOG...]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2

# Log paths stay relative to the caller's directory: the script never changes directory.
if [[ $# -gt 0 ]]; then
    logs=("$@")
else
    logs=("$root/examples/sample.log")
fi

if [[ -x "$build/bin/kelvane" && ( -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ) ]]; then
    if [[ $# -eq 0 ]]; then
        # The sample on its own: a settings profile of its own under build/, whose filter shows
        # November 2006, and day/month/year dates whatever the user's locale. The user's own settings
        # are neither read nor changed.
        demo="$build/demo-settings"
        conf="$demo/Corvane Apps/Kelvane.conf"
        mkdir -p "$(dirname "$conf")"
        today=$(date +%s)
        days_before() { echo $(( (today - $(date -d "$1" +%s)) / 86400 )); }
        printf '[Filter]\nStart=%s\nEnd=%s\nDays=0\n' "$(days_before 2006-11-01)" "$(days_before 2006-11-30)" > "$conf"
        echo "Opening the sample log with a demonstration filter (November 2006); settings in $demo"
        XDG_CONFIG_HOME="$demo" LC_ALL=C.UTF-8 exec "$build/bin/kelvane" "${logs[@]}"
    fi
    exec "$build/bin/kelvane" "${logs[@]}"
fi

if [[ ! -x "$build/bin/kelvane-report" ]]; then
    echo "run.sh: $build/bin/kelvane-report was not built" >&2
    exit 1
fi
echo
echo "Site tree (kelvane-report tree) of: ${logs[*]}"
"$build/bin/kelvane-report" tree --locale en_GB --start 2006-09-01 --end 2006-11-30 --days 0 "${logs[@]}"
echo
if [[ -x "$build/bin/kelvane" ]]; then
    echo "No display found. To open the window, run scripts/run.sh from a desktop session,"
    echo "or under a virtual display: xvfb-run scripts/run.sh"
else
    echo "The window program (build/bin/kelvane) is not built yet; kelvane-report shows the same tree."
fi
