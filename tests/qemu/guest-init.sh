#!/bin/busybox sh
# The init process of the QEMU guest (see run-guest.sh): runs the checks' commands as root
# and as an unprivileged user, and writes each command's exit code, standard output and
# standard error to the second serial port (ttyS1), which the host reads as a file. The
# kernel's own messages stay on the console (ttyS0). Then it powers the guest off.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp
insmod /lib/modules/msr.ko
stty -F /dev/ttyS1 raw -echo 2>/dev/null

BIN=/opt/gavrelo/Bin
RESULTS=/dev/ttyS1
CTL=$BIN/gavreloctl

# run NAME COMMAND...: one section "@@@ NAME rc=N", "@@@ stdout", ..., "@@@ stderr", ...,
# "@@@ end NAME". Each command gets at most 120 s.
run() {
  name=$1
  shift
  timeout 120 "$@" >/tmp/out 2>/tmp/err </dev/null
  rc=$?
  {
    echo "@@@ $name rc=$rc"
    echo "@@@ stdout"
    cat /tmp/out
    echo "@@@ stderr"
    cat /tmp/err
    echo "@@@ end $name"
  } >$RESULTS
}

echo "guest: checks start" >/dev/console
run pci-list $CTL pci list
run info $CTL info
run info-debug $CTL --debug info
# What the kernel refuses of the rest of the physical address map: the PCI Express window,
# the HPET, the I/O APIC and the local APIC.
run refused-window $CTL --debug script "dmem 0xb00f8000 0x10"
run refused-hpet $CTL --debug script "dmem 0xfed00000 0x10"
run refused-ioapic $CTL --debug script "dmem 0xfec00000 0x10"
run refused-lapic $CTL --debug script "dmem 0xfee00000 0x10"
# CMOS seconds twice through the index/data pair, IA32_APIC_BASE, CPUID leaf 0, one register
# through the port mechanism and through the MCFG window, an extended register (0x100) of
# the network function through the window, 256 bytes of the BIOS area, and a dword at an
# address that is not a multiple of four (read as single bytes).
run script $CTL script "o 0x70 0" "i 0x71" "o 0x70 0" "i 0x71" "rdmsr 0x1b" "cpuid 0" \
  "rpci32 0 0x1f 0 0" "erpcie32 0xf8 0" "erpcie32 0x10 0x100" "dmem 0xf0000 0x100" "r32 0xf0001"
run sysfs-0x100 od -A n -t x4 -j 256 -N 4 /sys/bus/pci/devices/0000:00:02.0/config
run gavrelo-debug $BIN/gavrelo /DEBUG
# The manual panel's ICH object and the ICH pin owner: QEMU's LPC bridge names no GPIO base,
# so each must refuse, and the --debug tally of the back end's requests shows what they
# touched (the base registers 0x48 and 0x58 of 00:1f.0 read, no port cycle at all).
run ich-base $CTL script "rpci32 0 0x1f 0 0x48" "rpci32 0 0x1f 0 0x58"
run ich-gpio-list $CTL --debug gpio --owner ich list
run ich-gpio-set $CTL --debug gpio --owner ich set GPIO12=High
run ich-panel-refresh $CTL --debug panel --type ICH_GPIO refresh GPIO12
run ich-panel-apply $CTL --debug panel --type ICH_GPIO apply GPIO12=1
run snapshot $CTL snapshot /tmp/snapshot/q35.json
if [ -d /tmp/snapshot ]; then
  tar -C /tmp -c -z -f /tmp/snapshot.tgz snapshot
  run snapshot-files base64 /tmp/snapshot.tgz
fi
# Without CAP_SYS_ADMIN the kernel shows only the first 64 bytes of configuration space.
run nocap $BIN/gavrelo_dropcap $CTL script "erpci32 0xf8 0x3c" "erpci32 0xf8 0x40"
# An unprivileged user: no ports, no /dev/mem.
run user-gavrelo su -s /bin/sh tester -c "$BIN/gavrelo"
run user-gavrelo-debug su -s /bin/sh tester -c "$BIN/gavrelo /DEBUG"
run user-pci-list su -s /bin/sh tester -c "$CTL pci list"
run user-info su -s /bin/sh tester -c "$CTL info"
echo "@@@ done" >$RESULTS
echo "guest: checks done" >/dev/console
poweroff -f
