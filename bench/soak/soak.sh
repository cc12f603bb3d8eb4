#!/usr/bin/env bash
# Soak of drevonix-demo on a private virtual desktop: a wheel button held at 1000
# reports/s for the whole run, the controller pulled out and plugged in again every 10 s.
# Samples the program's resident memory, open file descriptors and threads once a
# second into a CSV, and fails when any of them keeps growing after the warm-up.
# On demand, not in CI: the default run takes ten minutes.
#
#   bench/soak/soak.sh [--build DIR] [--minutes N] [--warmup SECONDS] [--out CSV]
#
#   --build DIR       the build folder holding bin/drevonix-demo (default: build)
#   --minutes N       length of the run (default 10)
#   --warmup SECONDS  samples before this are not judged (default 60)
#   --out CSV         where the samples go (default: bench/soak/last-run.csv)
#
# Growth is judged on the maxima of the first and the last fifth of the judged samples:
# descriptors and threads may not grow at all, memory by at most 1024 kB (allocator noise).

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$(dirname "$here")")
build=$root/build
minutes=10
warmup=60
out=$here/last-run.csv
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd) || exit 2; shift 2 ;;
        --minutes) minutes=$2; shift 2 ;;
        --warmup) warmup=$2; shift 2 ;;
        --out) out=$(realpath -m "$2"); shift 2 ;;
        *) echo "usage: bench/soak/soak.sh [--build DIR] [--minutes N] [--warmup S] [--out CSV]" >&2; exit 2 ;;
    esac
done
[[ $minutes =~ ^[0-9]+$ && $minutes -ge 1 ]] || { echo "--minutes: a whole number" >&2; exit 2; }
[[ $warmup =~ ^[0-9]+$ && $warmup -lt $((minutes * 60)) ]] || { echo "--warmup: seconds within the run" >&2; exit 2; }

export DREVONIX_DEMO_EXE=$build/bin/drevonix-demo
. "$root/tests/e2e/lib/desktop.sh"
. "$root/tests/e2e/lib/demo.sh"
. "$root/bench/lib.sh"
demo_need
need_tools awk realpath

CODE=700
desktop_start
DEMO_BIN=$(private_copy "$DREVONIX_DEMO_EXE")
# Row 05 answers the held code with F24, which nothing on this desktop acts on, so that
# the keystroke path runs without typing into the demo's own windows.
printf '[Key 05]\r\nJ.Code=%s\r\nSymbol= \r\nValue=135\r\n' "$CODE" >"$(dirname "$DEMO_BIN")/Control.ini"
demo_start

sample() {
    local pid=$1 rss threads fds
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status") || return 1
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status") || return 1
    fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
    echo "$rss,$fds,$threads"
}

sim "rate 1000" >/dev/null || fail "rate refused"
sim "hold $CODE" >/dev/null || fail "hold refused"
echo "second,rss_kb,fds,threads,plugged" >"$out"
plugged=1 unplugs=0
duration=$((minutes * 60))
start=$(date +%s%N)
ticks0=$(cpu_ticks "$DEMO_PID")
for ((t = 0; t < duration; t++)); do
    # One sample per second on the wall clock, whatever the commands cost.
    target=$((start + t * 1000000000))
    now=$(date +%s%N)
    [ "$now" -lt "$target" ] && sleep "$(awk -v d=$((target - now)) 'BEGIN { printf "%.3f", d / 1e9 }')"
    kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended after $t s"
    if [ "$t" -gt 0 ] && [ $((t % 10)) -eq 0 ]; then
        if [ "$plugged" -eq 1 ]; then
            sim unplug >/dev/null || fail "unplug refused at $t s"
            plugged=0 unplugs=$((unplugs + 1))
        else
            sim plug >/dev/null || fail "plug refused at $t s"
            sim "hold $CODE" >/dev/null || fail "hold refused at $t s"
            plugged=1
        fi
    fi
    s=$(sample "$DEMO_PID") || fail "no sample at $t s"
    echo "$t,$s,$plugged" >>"$out"
done
ticks1=$(cpu_ticks "$DEMO_PID")
sim release >/dev/null
expect_get StatusBar.0 "$([ "$plugged" -eq 1 ] && echo "Устройство подключено" || echo "Устройство отключено")"
demo_quit

e2e_log "$duration s, $unplugs unplugs; samples in $out"
# Proof that the reports were handled all along: the program's share of one core.
awk -v t=$((ticks1 - ticks0)) -v hz="$(getconf CLK_TCK)" -v d="$duration" \
    'BEGIN { printf "CPU while soaking: %.1f %% of one core\n", 100 * t / hz / d }'
awk -F, -v warmup="$warmup" '
    NR == 1 { next }
    $1 >= warmup { n++; rss[n] = $2; fds[n] = $3; thr[n] = $4 }
    function maxof(a, from, to,   i, m) { m = a[from]; for (i = from; i <= to; i++) if (a[i] > m) m = a[i]; return m }
    END {
        fifth = int(n / 5); if (fifth < 1) { print "too few samples"; exit 1 }
        r0 = maxof(rss, 1, fifth); r1 = maxof(rss, n - fifth + 1, n)
        f0 = maxof(fds, 1, fifth); f1 = maxof(fds, n - fifth + 1, n)
        t0 = maxof(thr, 1, fifth); t1 = maxof(thr, n - fifth + 1, n)
        printf "resident kB (max, first and last fifth after warm-up): %d -> %d (%+d)\n", r0, r1, r1 - r0
        printf "open descriptors: %d -> %d\n", f0, f1
        printf "threads: %d -> %d\n", t0, t1
        bad = (r1 - r0 > 1024) || (f1 > f0) || (t1 > t0)
        print bad ? "GROWTH" : "no growth"
        exit bad
    }' "$out"
