#!/usr/bin/env bash
# Wake-ups of an idle Windows program under wine, counted from Linux: the voluntary context
# switches of its threads, and of wine's own processes (wineserver, services) that it keeps
# busy, over SECONDS after a settling time.
#
#   bench/windows/wine_idle.sh [BUILD_DIR] [SECONDS] [PROGRAM.exe ARGS...]
#       (defaults: build-windows, 30, drevonix.exe of that build)
set -euo pipefail
cd "$(dirname "$0")/../.."
. bench/lib.sh
build=${1:-build-windows}
seconds=${2:-30}
shift $(($# > 2 ? 2 : $#))
[ $# -gt 0 ] || set -- "$build/bin/drevonix.exe"
WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
export WINEPREFIX
if [ -z "${DISPLAY:-}" ]; then
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb=$!
    for ((n = 0; n < 100; n++)); do [ -s "$display_file" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$display_file")"
fi
"$build/wine-run" "$@" >/dev/null 2>&1 &
trap 'wineserver -k 2>/dev/null || true; [ -z "${xvfb:-}" ] || kill "$xvfb"' EXIT
sleep 15
program=$(pgrep -n -f "$(basename "$1")") || { echo "wine_idle: $1 did not start" >&2; exit 1; }
others=$(pgrep -f 'wineserver|services.exe|winedevice.exe|plugplay.exe|svchost.exe|rpcss.exe|explorer.exe' | tr '\n' ' ')
snapshot() { for p in "$program" $others; do wakeups "$p" | sed "s/^/$p:/"; done; }
before=$(snapshot)
sleep "$seconds"
after=$(snapshot)
figure machine "$(machine)"
# Per thread: wake-ups a second, the program's threads first.
join <(sort <<<"$before") <(sort <<<"$after") 2>/dev/null | awk -v s="$seconds" -v p="$program" '
    { n = ($5 - $3) / s; split($1, id, ":"); k = (id[1] == p) ? "program" : "wine"; sum[k] += n
      if (n >= 0.1) printf "  %s %s (%s): %.1f/s\n", k, $2, $1, n }
    END { printf "wake-ups/s: program %.1f, wine'"'"'s processes %.1f\n", sum["program"], sum["wine"] }'
