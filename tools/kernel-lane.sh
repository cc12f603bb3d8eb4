#!/usr/bin/env bash
# The kernel lane: the real programs on a real kernel. Debian 12's generic kernel boots
# under qemu (TCG: no KVM needed) with the host's root shared read-only over virtio-9p
# and tmpfs where the guest writes. In the guest a USB HID gadget on dummy_hcd stands in
# for the controller: the kernel's own usbhid makes /dev/hidraw0, and
# tests/kernel/kernel_controller (our ControllerEmulator on /dev/hidg0) answers on the
# controller's side of the wire.
#
#   tools/kernel-lane.sh run [--systemd] [--build DIR] [--results DIR] [CHECK...]
#       boots once and runs the checks (all of tests/kernel/checks/, or the named ones),
#       one verdict each in RESULTS/results/NAME ("pass", "fail: why", "skip: why"),
#       each check's output in RESULTS/logs/NAME.log, the console in RESULTS/console.log
#   tools/kernel-lane.sh shell [--build DIR]
#       the same guest with the gadget plugged in and an interactive shell (exit ends it)
#
# --systemd boots as a car computer does instead: the host's root read-only under a tmpfs
# overlay, systemd as PID 1, a display device (shown nowhere) for tty1 and seat0, user
# kiosk logged in on tty1 by getty; tests/kernel/systemd/ installs the package
# (DREVONIX_DEB, or tools/package.sh builds it) and checks its rule, user service and
# autostart entry there (tests/kernel/guest/systemd-prepare.sh sets the image up).
#
# --wine [--windows-build DIR] runs the Windows programs of DIR (default
# $DREVONIX_WINDOWS_BUILD; tools/test-windows.sh builds one) under wine in the guest, on
# the same gadget: the checks of tests/kernel/wine/. Skipped (77) when no Windows build is
# given. The wine prefix is made here on the host (a guest under TCG would take minutes),
# with winebus's SDL bus off so that its hidraw bus starts, and kept in the cache. On two
# quiet cores the boot takes about 5.5 minutes (wine's first start in the guest about one);
# on cores shared with a build, three times that: its limit is 900 s.
#   tools/kernel-lane.sh fetch
#       only downloads and unpacks the kernel and udev into the cache
#
# The kernel package and udev are fetched with apt-get download and unpacked into
# $DREVONIX_KERNEL_CACHE (default ~/.cache/drevonix-kernel), never installed. Exit 77
# when qemu, busybox or the packages cannot be had. Every boot ends by powering the guest
# off, within DREVONIX_KERNEL_TIMEOUT seconds (default 300) at the latest.
#
# Adding a check: put tests/kernel/checks/NN-name.sh there (NN orders it; the guest runs
# them one after another in name order, so mind whether udevd runs yet: 50-udev_rules starts
# it). Source "$KERNEL_LIB/guest.sh", then use its helpers (controller_start, plug,
# unplug, hidraw_node, wait_for, fail, skip...); exit 0 passes, 77 skips, anything else
# fails. Then add "name" to kernel_checks in tests/kernel/CMakeLists.txt, which gives it
# its own CTest test (label kernel) reading its verdict from the lane's one boot. Try it
# alone with: tools/kernel-lane.sh run NN-name
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
[ $# -gt 0 ] && shift
build=$src/build
results=
systemd=
wine=
windows_build=${DREVONIX_WINDOWS_BUILD:-}
checks=()
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --results) results=$2; shift 2 ;;
        --systemd) systemd=1; shift ;;
        --wine) wine=1; shift ;;
        --windows-build) windows_build=$2; shift 2 ;;
        -*) echo "kernel-lane.sh: unknown option $1" >&2; exit 2 ;;
        *) checks+=("$1"); shift ;;
    esac
done
results=${results:-$build/kernel-lane${wine:+-wine}}
# CTest names the programs; run by hand, the build's usual places.
drevonix_exe=${DREVONIX_EXE:-$build/bin/drevonix}
cli_exe=${DREVONIX_CLI_EXE:-$build/bin/drevonix-cli}
controller_exe=${KERNEL_CONTROLLER_EXE:-$build/tests/kernel/kernel_controller}
cache=${DREVONIX_KERNEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/drevonix-kernel}
limit=${DREVONIX_KERNEL_TIMEOUT:-${systemd:+900}}
limit=${limit:-${wine:+900}}
limit=${limit:-300}

say() { printf 'kernel-lane: %s\n' "$*" >&2; }
skip() {
    say "SKIP: $*"
    if [ -d "$results" ]; then printf '%s\n' "$*" >"$results/skipped"; fi
    exit 77
}

# unpack PACKAGE DIR: the package's files into DIR, once.
unpack() {
    local package=$1 dir=$2 tmp
    [ -e "$dir/.unpacked" ] && return 0
    tmp=$(mktemp -d "$cache/fetch.XXXXXX")
    # apt's sandbox user cannot write into root's home; its warning about that is noise.
    if ! (cd "$tmp" && apt-get download "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2 &&
        ls ./*.deb >/dev/null 2>&1); then
        rm -rf "$tmp"
        skip "cannot download $package"
    fi
    dpkg-deb -x "$tmp"/*.deb "$tmp/root"
    rm -rf "$dir"
    mv "$tmp/root" "$dir"
    rm -rf "$tmp"
    touch "$dir/.unpacked"
}

fetch() {
    command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || skip "no apt-get or dpkg-deb"
    command -v busybox >/dev/null || skip "busybox is not installed (apt-get install busybox-static)"
    mkdir -p "$cache"
    # The generic flavour: the cloud one has no USB gadget drivers.
    kpackage=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '$1 == "Depends:" && $2 ~ /^linux-image-/ { print $2; exit }')
    [ -n "$kpackage" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"
    kver=${kpackage#linux-image-}
    kdir=$cache/$kpackage
    if [ ! -e "$kdir/.unpacked" ]; then
        say "fetching $kpackage"
        unpack "$kpackage" "$kdir"
        busybox depmod -b "$kdir" "$kver"
        # Older kernels are not needed any more.
        find "$cache" -mindepth 1 -maxdepth 1 -name 'linux-image-*' ! -name "$kpackage" -exec rm -rf {} +
    fi
    # udevd for the guest, never started on this machine: the version of the installed
    # systemd where apt still has it.
    local version
    version=$(dpkg-query -W -f='${Version}' systemd 2>/dev/null || true)
    udevdir=$cache/udev-${version:-candidate}
    if [ ! -e "$udevdir/.unpacked" ]; then
        say "fetching udev $version"
        (unpack "udev${version:+=$version}" "$udevdir") || unpack udev "$udevdir"
    fi
}

# module_order NAME...: the modules' files (relative to the kernel's module folder), each
# after the ones it needs, resolved here rather than by the slow guest.
module_order() {
    awk -F: -v want="$*" '
        function base(p, n) { n = p; sub(/.*\//, "", n); sub(/\.ko$/, "", n); gsub(/-/, "_", n); return n }
        function add(p, i, n, d) {
            if (p in done) return
            done[p] = 1
            n = split(deps[p], d, " ")
            for (i = 1; i <= n; i++) add(d[i])
            print p
        }
        { path[base($1)] = $1; deps[$1] = $2 }
        END {
            n = split(want, w, " ")
            for (i = 1; i <= n; i++) {
                m = w[i]; gsub(/-/, "_", m)
                if (!(m in path)) { print "no module " w[i] > "/dev/stderr"; exit 1 }
                add(path[m])
            }
        }' "$kdir/lib/modules/$kver/modules.dep"
}

# wine_prefix: prints a wine prefix made on the host for the guest, winebus's SDL bus off
# (without libSDL2 wine 8 takes SDL's failed start for success and never starts the hidraw
# bus). wineserver writes the registry to disk only when it ends: waited for, or the guest
# would find the value missing. Made once per wine; the guest copies it into its memory.
wine_prefix() {
    local template
    template=$cache/wineprefix-$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)
    if [ ! -e "$template/.ready" ]; then
        say "making a wine prefix for the guest"
        rm -rf "$template"
        (
            export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY=
            timeout 300 wine wineboot --init >/dev/null 2>&1 &&
                timeout 60 wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' \
                    /v 'Enable SDL' /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
                timeout 60 wineserver -w
        ) || { say "FAIL: cannot make a wine prefix"; return 1; }
        grep -q '"Enable SDL"=dword:00000000' "$template/system.reg" ||
            { say "FAIL: the prefix's registry has no \"Enable SDL\"=0"; return 1; }
        # Nine tenths of a prefix are copies of wine's own DLLs: links to them instead, so
        # that the guest holds the prefix in memory (on the 9p share every program start
        # takes minutes).
        local pe f
        pe=$(dirname "$(find /usr/lib -path '*/wine/x86_64-windows/kernel32.dll' -print -quit)")
        find "$template/drive_c" -type f -size +8k | while read -r f; do
            if [ -f "$pe/${f##*/}" ] && cmp -s "$f" "$pe/${f##*/}"; then ln -sf "$pe/${f##*/}" "$f"; fi
        done
        touch "$template/.ready"
    fi
    echo "$template"
}

# The initramfs: busybox, the modules that reach the 9p share, and an /init that mounts
# the host's root and switches to it.
make_initramfs() {
    local dir=$1/initramfs path
    rm -rf "$dir"
    mkdir -p "$dir/bin" "$dir/modules" "$dir/proc" "$dir/sys" "$dir/dev" "$dir/newroot"
    cp "$(command -v busybox)" "$dir/bin/busybox"
    case $(ldd "$dir/bin/busybox" 2>&1) in *"not a dynamic"*) ;; *)
        skip "busybox is not the static one (apt-get install busybox-static)" ;;
    esac
    local order=()
    for path in $(module_order virtio_pci 9pnet_virtio 9p overlay); do
        mkdir -p "$dir/modules/$(dirname "$path")"
        cp "$kdir/lib/modules/$kver/$path" "$dir/modules/$path"
        order+=("$path")
    done
    echo "${order[*]}" >"$dir/modules/order"
    cp "$src/tests/kernel/guest/init.sh" "$dir/init"
    chmod +x "$dir/init"
    (cd "$dir" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$1/initramfs.gz"
}

boot() {
    local guest_mode=$1
    command -v qemu-system-x86_64 >/dev/null ||
        skip "qemu-system-x86_64 is not installed (apt-get install qemu-system-x86)"
    local exe exes=("$controller_exe")
    # The systemd boot runs the package's programs.
    [ -n "$systemd" ] || exes+=("$drevonix_exe" "$cli_exe")
    if [ -n "$wine" ]; then
        mkdir -p "$results"
        [ -n "$windows_build" ] || skip "no Windows build given (--windows-build or DREVONIX_WINDOWS_BUILD)"
        windows_build=$(cd "$windows_build" && pwd) || skip "no Windows build at $windows_build"
        command -v wine >/dev/null || skip "wine is not installed"
        exes+=("$windows_build/wine-run")
        for exe in drevonix drevonix-cli key_receiver; do
            [ -e "$windows_build/bin/$exe.exe" ] || skip "$windows_build/bin/$exe.exe is not built"
        done
    fi
    for exe in "${exes[@]}"; do
        [ -x "$exe" ] || skip "$exe is not built"
    done
    fetch
    mkdir -p "$results"
    rm -rf "${results:?}"/*
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    make_initramfs "$work"
    local wine_template=
    if [ -n "$wine" ]; then wine_template=$(wine_prefix) || return 1; fi
    # What the guest needs to know; the guest mounts this folder (read-write) at /run/lane.
    {
        printf 'SRC=%q\nBUILD=%q\nKVER=%q\nKDIR=%q\nUDEVDIR=%q\nLANE_MODE=%q\n' \
            "$src" "$build" "$kver" "$kdir" "$udevdir" "$guest_mode"
        printf 'LANE_CHECKS=%q\n' "${checks[*]}"
        if [ -n "$wine" ]; then
            printf 'LANE_CHECK_DIR=%q\nWINDOWS_BUILD=%q\nWINE_TEMPLATE=%q\nCHECK_TIMEOUT=840\n' \
                "$src/tests/kernel/wine" "$windows_build" "$wine_template"
        fi
        # What the guest loads once it runs on the host's root.
        printf 'LANE_MODULES=%q\n' "$(module_order configfs dummy_hcd libcomposite usb_f_hid usbhid hid_generic evdev uinput | tr '\n' ' ')"
        printf 'DREVONIX_EXE=%q\nDREVONIX_CLI_EXE=%q\nKERNEL_CONTROLLER_EXE=%q\n' \
            "$drevonix_exe" "$cli_exe" "$controller_exe"
    } >"$results/lane.env"
    local machine=(-display none) append=(drevonix.stage2="$src/tests/kernel/guest/stage2.sh")
    if [ -n "$systemd" ]; then
        mkdir -p "$results/deb"
        if [ -n "${DREVONIX_DEB:-}" ]; then
            cp "$DREVONIX_DEB" "$results/deb/"
        else
            say "building the package (tools/package.sh)"
            "$src/tools/package.sh" "$results/deb" >"$results/package.log" 2>&1 ||
                { say "FAIL: tools/package.sh failed (see $results/package.log)"; return 1; }
        fi
        # The display device gives the guest its consoles and seat0; nothing is shown.
        machine=(-vga std -display none)
        append=(drevonix.prepare="$src/tests/kernel/guest/systemd-prepare.sh"
            systemd.unit=multi-user.target systemd.getty_auto=0 systemd.show_status=false)
    fi

    local serial=(-chardev "stdio,id=console,signal=off,logfile=$results/console.log" -serial chardev:console)
    local run=(timeout -k 10 "$limit") input=/dev/null
    # The shell is the developer's: their terminal, and no time limit.
    if [ "$guest_mode" = shell ]; then run=() input=/dev/stdin; fi
    say "booting $kpackage (TCG, 2 vCPUs, 1 GiB${systemd:+, systemd})"
    local started=$SECONDS rc=0
    "${run[@]}" qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 1024 \
        -nodefaults -no-user-config "${machine[@]}" -no-reboot \
        -kernel "$kdir/boot/vmlinuz-$kver" -initrd "$work/initramfs.gz" \
        -append "console=ttyS0 panic=1 quiet loglevel=4 no_timer_check ${append[*]}" \
        -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap" \
        -virtfs "local,path=$results,mount_tag=lane,security_model=none,multidevs=remap" \
        "${serial[@]}" <"$input" || rc=$?
    [ "$guest_mode" = shell ] && return 0
    say "the guest ran $((SECONDS - started)) s"
    [ "$rc" -eq 124 ] && { say "FAIL: the guest still ran after $limit s"; return 1; }
    [ -e "$results/done" ] || { say "FAIL: the guest ended before its checks were done (status $rc)"; return 1; }
    local f
    for f in "$results"/results/*; do
        [ -e "$f" ] || continue
        printf '  %-28s %s\n' "$(basename "$f")" "$(head -n1 "$f")"
    done
}

case "$mode" in
    run) boot run ;;
    shell) boot shell ;;
    fetch) fetch; say "kernel $kver in $kdir, udev in $udevdir" ;;
    *) sed -n '2,30p' "$0" >&2; exit 2 ;;
esac
