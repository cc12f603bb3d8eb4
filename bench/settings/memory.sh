#!/usr/bin/env bash
# Peak resident memory of drevonix-demo from start to quit (SIGTERM, which saves once),
# with large Control.ini files up to the read bound. Prints one line per file.
#   bench/settings/memory.sh [BUILD_DIR]   (default build)
# Files of empty lines (CR LF, LF), of comment lines, of one-key sections, of sections.
set -euo pipefail
cd "$(dirname "$0")/../.."
demo=$(realpath "${1:-build}/bin/drevonix-demo")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A copy in a folder of its own keeps Control.ini beside it.
cp "$demo" "$work/drevonix-demo"
# 4 KiB below the read bound, so that the save (which adds our values) may go through.
mib=$((16 * 1024 * 1024 - 4096))

make_file() (
    set +o pipefail
    case $1 in
        crlf) head -c $((mib / 2)) /dev/zero | tr '\0' '\r' | sed 's/\r/\r\n/g' | head -c $mib ;;
        lf) head -c $mib /dev/zero | tr '\0' '\n' ;;
        comments) yes ';zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz' |
            head -c $mib ;;
        keys) seq 1 10000000 | sed 's/^/[Key 01]\nk/; s/$/=1/' | head -c $mib ;;
        sections) seq 1 10000000 | sed 's/^/[s/; s/$/]/' | head -c $mib ;;
    esac
)

for shape in crlf lf comments keys sections; do
    make_file "$shape" >"$work/Control.ini"
    size=$(stat -c %s "$work/Control.ini")
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" /usr/bin/time -f %M -o "$work/peak" \
        "$work/drevonix-demo" >/dev/null 2>"$work/stderr" &
    timer=$!
    pid=
    for _ in $(seq 1 100); do
        pid=$(pgrep -P $timer || true)
        [ -n "$pid" ] && break
        sleep 0.1
    done
    # The window is shown once start-up is over (the offscreen platform says so on stderr).
    for _ in $(seq 1 600); do
        grep -q propagateSizeHints "$work/stderr" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
    kill -TERM "$pid"
    wait $timer || true
    echo "$shape: file $size bytes, peak $(($(tail -1 "$work/peak") / 1024)) MiB," \
        "after the save $(stat -c %s "$work/Control.ini") bytes," \
        "kept aside $(find "$work" -name 'Control.ini.*' | wc -l)"
    rm -f "$work"/Control.ini*
done
