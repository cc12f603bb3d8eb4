# Shared by the load scripts: figures, CPU and wake-ups read from /proc. Source it; set
# `out` to a file to have every figure appended to it as well.

# figure NAME VALUE: one "name: value" line.
figure() {
    printf '%s: %s\n' "$1" "$2"
    [ -z "${out:-}" ] || printf '%s: %s\n' "$1" "$2" >>"$out"
}

now_ns() { date +%s%N; }

# utime + stime of the whole process (fields 14 and 15; the name in field 2 may hold
# blanks, so count from the closing parenthesis).
cpu_ticks() {
    local line rest
    read -r line <"/proc/$1/stat" || return 1
    rest=${line##*) }
    set -- $rest
    echo $((${12} + ${13}))
}

# Time on the CPU of every live thread, in nanoseconds: finer than the clock ticks (threads
# that have ended are not counted).
cpu_ns() {
    local f t sum=0
    for f in /proc/"$1"/task/*/schedstat; do
        read -r t _ <"$f" 2>/dev/null && sum=$((sum + t))
    done
    echo "$sum"
}

# Voluntary context switches of every live thread, one "TID NAME COUNT" line each: each one
# is a wake-up after the thread slept.
wakeups() {
    local d
    for d in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${d##*/}" "$(tr ' ' _ <"$d/comm")" \
            "$(awk '/^voluntary_ctxt_switches:/ { print $2 }' "$d/status" 2>/dev/null)"
    done
}

machine() {
    printf '%s, %s cores, load %s' "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)" \
        "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
}

# median V...: of whole or decimal numbers.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
