#!/usr/bin/env bash
# The Linux back end on a real kernel: boots a QEMU q35 guest (software emulation, 512 MiB,
# the firmware is QEMU's SeaBIOS) from Debian's kernel and an initramfs holding busybox,
# gavrelo, gavreloctl and the shared libraries they need; tests/qemu/guest-init.sh runs the
# commands inside as root and as an unprivileged user, and this script checks what they
# printed. The snapshot the guest takes is loaded here as a virtual board, and must give
# the same `info` and `pci list` as the real kernel did.
#
#   run-guest.sh --bin DIR --dropcap FILE --source DIR --work DIR
#
# Exit codes: 0 every check passed, 1 a check failed or the guest did not finish within
# GUEST_SECONDS (default 480), 77 skipped (QEMU, busybox-static or the kernel package
# cannot be had; 1 instead with GAVRELO_QEMU_REQUIRED=1). The kernel package is fetched with `apt-get download` into the work
# directory once and reused from there.
set -uo pipefail

bin="" dropcap="" source="" work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin=$2; shift 2 ;;
    --dropcap) dropcap=$2; shift 2 ;;
    --source) source=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "run-guest.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$bin" ] && [ -n "$dropcap" ] && [ -n "$source" ] && [ -n "$work" ] ||
  { echo "run-guest.sh: --bin, --dropcap, --source and --work are required" >&2; exit 2; }
guest_seconds=${GUEST_SECONDS:-480}
here=$(cd "$(dirname "$0")" && pwd)

# GAVRELO_QEMU_REQUIRED=1 (CI, which installs what the guest needs) turns a skip into a
# failure: a guest that could not run proves nothing.
skip() {
  if [ "${GAVRELO_QEMU_REQUIRED:-0}" = 1 ]; then echo "FAILED (GAVRELO_QEMU_REQUIRED): $*"; exit 1; fi
  echo "SKIPPED: $*"
  exit 77
}

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 not installed (Debian: qemu-system-x86)"
busybox=$(command -v busybox || true)
[ -n "$busybox" ] && "$busybox" --list 2>/dev/null | grep -qx setsid ||
  skip "busybox not installed (Debian: busybox-static)"
file -L "$busybox" 2>/dev/null | grep -q 'statically linked' ||
  { ldd "$busybox" 2>&1 | grep -q 'not a dynamic executable' || skip "$busybox is not statically linked (Debian: busybox-static)"; }

mkdir -p "$work"
work=$(cd "$work" && pwd)

# --- the kernel: Debian's 6.1 image package, unpacked in part (no kernel is installed) ---
kernel_dir=$work/kernel
if [ ! -f "$kernel_dir/vmlinuz" ] || [ ! -f "$kernel_dir/msr.ko" ]; then
  rm -rf "$kernel_dir"
  mkdir -p "$kernel_dir"
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-6\.1\./ {print $2; exit}')
  [ -n "$package" ] || package=$(apt-cache search --names-only '^linux-image-6\.1\.[0-9]+-[0-9]+-amd64$' 2>/dev/null |
                                 awk '{print $1}' | sort -V | tail -n 1)
  [ -n "$package" ] || skip "no linux-image-6.1.*-amd64 package known to apt (run apt-get update)"
  echo "kernel package: $package"
  ( cd "$kernel_dir" && apt-get download "$package" ) >"$kernel_dir/download.log" 2>&1 ||
    { cat "$kernel_dir/download.log"; skip "apt-get download $package failed"; }
  deb=$(ls "$kernel_dir"/*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || skip "apt-get download $package left no package file"
  mkdir -p "$kernel_dir/x"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$kernel_dir/x" --wildcards './boot/vmlinuz-*' \
    './lib/modules/*/kernel/arch/x86/kernel/msr.ko*' || skip "cannot unpack $deb"
  cp "$kernel_dir"/x/boot/vmlinuz-* "$kernel_dir/vmlinuz"
  cp "$(find "$kernel_dir/x/lib/modules" -name 'msr.ko*' | head -n 1)" "$kernel_dir/msr.ko"
  rm -rf "$kernel_dir/x" "$deb"
fi
case "$(head -c 4 "$kernel_dir/msr.ko" | od -A n -t x1 | tr -d ' ')" in
  7f454c46) ;;
  *) skip "the kernel's msr module is compressed; busybox insmod needs it plain" ;;
esac

# --- the initramfs ---
root=$work/root
rm -rf "$root" "$work/out" "$work/snapshot"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,etc,lib/modules,opt/gavrelo/Bin} "$work/out"
chmod 1777 "$root/tmp"
cp "$busybox" "$root/bin/busybox"
cp "$here/guest-init.sh" "$root/init"
cp "$kernel_dir/msr.ko" "$root/lib/modules/msr.ko"
printf 'root:x:0:0:root:/:/bin/sh\ntester:x:1000:1000:tester:/tmp:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\ntester:x:1000:\n' >"$root/etc/group"
for exe in gavrelo gavreloctl; do
  objcopy --strip-debug "$bin/$exe" "$root/opt/gavrelo/Bin/$exe" || { echo "cannot copy $bin/$exe"; exit 1; }
done
cp "$dropcap" "$root/opt/gavrelo/Bin/gavrelo_dropcap"
[ -f "$bin/Gavrelo.INI" ] && cp "$bin/Gavrelo.INI" "$root/opt/gavrelo/Bin/"
[ -d "$bin/../Conf" ] && cp -r "$bin/../Conf" "$root/opt/gavrelo/Conf"
# The shared libraries and the dynamic loader, at the paths the executables name.
for exe in "$root"/opt/gavrelo/Bin/gavrelo "$root"/opt/gavrelo/Bin/gavreloctl "$dropcap"; do
  ldd "$exe" | grep -o '/[^ ]*' | while read -r lib; do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
  done
done
chmod -R a+rX "$root/opt"
( cd "$root" && find . | "$busybox" cpio -o -H newc 2>/dev/null ) | gzip -1 >"$work/initramfs.gz" ||
  { echo "cannot build the initramfs"; exit 1; }

# --- the guest ---
console=$work/console.log
results=$work/results.txt
rm -f "$console" "$results"
echo "booting the q35 guest (software emulation, bound ${guest_seconds} s)"
start=$SECONDS
timeout "$guest_seconds" qemu-system-x86_64 -machine q35 -accel tcg -m 512 -smp 1 \
  -display none -monitor none -no-reboot \
  -serial "file:$console" -serial "file:$results" \
  -kernel "$kernel_dir/vmlinuz" -initrd "$work/initramfs.gz" \
  -append "console=ttyS0 panic=-1 loglevel=4" </dev/null
qemu_status=$?
echo "guest ran $((SECONDS - start)) s (qemu exit $qemu_status)"
if [ $qemu_status -ne 0 ] || ! grep -q '^@@@ done' "$results" 2>/dev/null; then
  echo "FAILED: the guest did not finish (exit $qemu_status); console:"
  tail -n 60 "$console"
  exit 1
fi

# Split the results into out/NAME.{rc,stdout,stderr}.
awk -v out="$work/out" '
  /^@@@ end / { part = ""; next }
  /^@@@ stdout$/ { part = "stdout"; next }
  /^@@@ stderr$/ { part = "stderr"; next }
  /^@@@ done$/ { next }
  /^@@@ [^ ]+ rc=[0-9]+$/ {
    name = $2; sub(/^rc=/, "", $3)
    print $3 > (out "/" name ".rc"); close(out "/" name ".rc")
    printf "" > (out "/" name ".stdout"); printf "" > (out "/" name ".stderr")
    next
  }
  part != "" { print >> (out "/" name "." part) }
' "$results"

# --- the checks ---
passed=0 failed=0
pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
rc_of() { cat "$work/out/$1.rc" 2>/dev/null || echo missing; }
out() { cat "$work/out/$1.stdout" 2>/dev/null; }
err() { cat "$work/out/$1.stderr" 2>/dev/null; }
expect_rc() {  # NAME CODE
  local rc; rc=$(rc_of "$1")
  if [ "$rc" = "$2" ]; then pass "$1: exit code $2"; else fail "$1: exit code $rc, expected $2"; err "$1" | tail -n 5; fi
}
expect_line() {  # NAME STREAM REGEX WHAT
  if "$2" "$1" | grep -Eq -- "$3"; then pass "$1: $4"; else fail "$1: $4 (no line matching /$3/)"; fi
}
expect_no_line() {  # NAME STREAM REGEX WHAT
  if "$2" "$1" | grep -Eq -- "$3"; then fail "$1: $4 (a line matches /$3/)"; else pass "$1: $4"; fi
}
show() { echo "--- $1 ($2)"; "$2" "$1" | head -n "${3:-40}"; }

# gavreloctl pci list: the q35 functions.
expect_rc pci-list 0
for fn in "00:00.0 8086:29c0 class 0600 host bridge" "00:01.0 1234:1111 class 0300 VGA" \
          "00:02.0 8086:10d3 class 0200 network" "00:1f.0 8086:2918 class 0601 LPC bridge" \
          "00:1f.2 8086:2922 class 0106 SATA" "00:1f.3 8086:2930 class 0c05 SMBus"; do
  set -- $fn
  expect_line pci-list out "^$1 $2 class $4" "$1 $2 (${*:5})"
done
show pci-list out

# gavreloctl info: the root pointer in the legacy area, the tables, MCFG base, SMBIOS.
expect_rc info 0
expect_line info out '^ACPI tables \(root pointer found\):' "root pointer found"
expect_line info out '^ +0  RSD PTR   0x000(E|F)[0-9A-F]{4}  20$' "root pointer in the legacy BIOS area"
for sig in RSDT FACP APIC HPET MCFG WAET FACS DSDT; do
  expect_line info out "^ +[0-9]+  $sig +0x[0-9A-F]{8}  [1-9][0-9]*$" "table $sig listed"
done
expect_line info out '^MCFG base +: 0xB0000000$' "MCFG base 0xB0000000"
expect_line info out '^SMBIOS 2\.8 \(entry point 0x000F[0-9A-F]{4}\):' "SMBIOS entry point found"
expect_line info out '^Access +: Linux, ports through iopl' "port access mode iopl"
show info out 60
# The last line names the back end; everything else describes the board.
board_info() { grep -v '^Access '; }
# What the firmware tables say, without where they lie: the platform values, the root
# pointer, the tables' signatures in walk order, the MCFG base and the SMBIOS summary. The
# images of boards/qemu-q35.json come from a q35 machine without serial ports; this guest
# has two, which its DSDT describes (about 53 bytes each), so the DSDT's length and the
# addresses of the tables behind it differ.
firmware_view() {
  board_info | sed -n '/^Platform values/,$p' |
    sed -E 's/^( +[1-9][0-9]*  [A-Z]{4}) +0x[0-9A-F]{8} +[0-9]+$/\1/'
}
q35_board=$source/boards/qemu-q35.json
if [ -f "$source/../shared/firmware/qemu-q35/mem-000e0000.bin" ]; then
  virtual=$("$bin/gavreloctl" --board "$q35_board" info 2>&1 | firmware_view)
  if [ "$virtual" = "$(out info | firmware_view)" ]; then
    pass "info: platform values, table list and SMBIOS summary equal those of the virtual q35 board"
  else
    fail "info: platform values, table list or SMBIOS summary differ from the virtual q35 board"
    diff <(echo "$virtual") <(out info | firmware_view)
  fi
else
  echo "NOTE the firmware images ../shared/firmware/qemu-q35 are absent: the comparison with boards/qemu-q35.json is left out"
fi

# --debug: the port access mode and every range the kernel refused, with its errno.
expect_rc info-debug 0
expect_line info-debug out '^TLinuxMachine::PortAccess \.\.\. \[iopl' "port access mode logged"
expect_line info-debug out '^TLinuxMachine \.\.\. \[/dev/mem \[0x[0-9A-F]+-0x[0-9A-F]+\] .*E[A-Z]+ \(' "refused ranges logged with errno"
expect_line refused-window out '^TLinuxMachine \.\.\. \[/dev/mem \[0xB00F8000-0xB00F8FFF\] refused: EPERM .*served through sysfs\]$' "the PCI Express window: EPERM, served through sysfs"
expect_line refused-window out '^0 86 80 18 29 ' "the window shows 00:1f.0's configuration space"
expect_line refused-ioapic out '^TLinuxMachine \.\.\. \[/dev/mem \[0xFEC00000-0xFEC00FFF\] read refused: EPERM' "the I/O APIC: EPERM, said"
# DMEM of the refused range: the status line says so and the dump is the all-ones failure
# value, not zeros that would look like memory.
expect_rc refused-ioapic 0
expect_line refused-ioapic out '^Dump Memory: Address=0xFEC00000, Size=0x10 - Read memory error$' "DMEM says ' - Read memory error'"
expect_line refused-ioapic out '^0( FF){16}	\.{16}$' "DMEM dumps all ones"
echo "--- ranges the guest kernel refused (gavreloctl --debug info and script):"
cat "$work/out/"{info-debug,refused-window,refused-hpet,refused-ioapic,refused-lapic}.stdout |
  grep '^TLinuxMachine \.\.\. \[/dev/mem' | sort -u

# gavreloctl script: ports through iopl, an MSR, CPUID, PCI both ways, the BIOS area.
expect_rc script 0
cmos=$(out script | grep -E '^In Port 0x71 = 0x' | awk '{print $NF}')
if [ "$(echo "$cmos" | grep -cE '^0x[0-5][0-9]$')" = 2 ]; then
  pass "script: CMOS seconds read twice through 0x70/0x71 ($(echo $cmos))"
else
  fail "script: CMOS seconds through 0x70/0x71 ($(echo $cmos))"
fi
expect_line script out '^Read MSR 0x1B : High 32bit\(EDX\) = 0x00000000, Low 32bit\(EAX\) = 0xFEE00[9D]00$' "IA32_APIC_BASE of the boot processor"
expect_line script out '^CPUID 0x0$' "CPUID leaf 0"
expect_line script out '^EBX = 0x(756E6547|68747541) ' "CPUID vendor (Genu or Auth)"
expect_line script out '^Read PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x00/0x00 = 0x29188086$' "RPCI32 00:1f.0 register 0"
expect_line script out '^Read PCIE Bus/Dev/Fun/Offset 0x00/0x1F/0x00/0x00 = 0x29188086$' "ERPCIE32 00:1f.0 register 0 through the MCFG window"
ext=$(out sysfs-0x100 | tr -d ' \n' | tr a-f A-F)
if [ -n "$ext" ] && [ "$ext" != FFFFFFFF ] && out script | grep -q "^Read PCIE Bus/Dev/Fun/Offset 0x00/0x02/0x00/0x00 = 0x$ext\$"; then
  pass "script: ERPCIE32 00:02.0 register 0x100 through the window equals sysfs ($ext)"
else
  fail "script: ERPCIE32 00:02.0 register 0x100 through the window (sysfs says '$ext')"
fi
dump_lines=$(out script | grep -cE '^[0-9A-F]0( [0-9A-F]{2}){16}')
if [ "$dump_lines" -ge 16 ]; then pass "script: DMEM 0xF0000 256 bytes ($dump_lines lines)"; else fail "script: DMEM 0xF0000 256 bytes ($dump_lines lines)"; fi
# R32 at 0xF0001 (unaligned) is bytes 1 to 4 of the dump's first row, little-endian.
row=$(out script | grep -m1 -E '^00( [0-9A-F]{2}){16}')
set -- $row
if [ -n "$row" ] && out script | grep -qx "Read Memory Address 0xF0001 = 0x$6$5$4$3"; then
  pass "script: R32 at the unaligned 0xF0001 equals the dumped bytes (0x$6$5$4$3)"
else
  fail "script: R32 at the unaligned 0xF0001 ($(out script | grep 'Read Memory Address 0xF0001'); dump row '$row')"
fi
show script out 60

# gavrelo /DEBUG: the whole start-up on real hardware, no Super I/O chip at 0x2E.
expect_rc gavrelo-debug 0
expect_line gavrelo-debug out '^BuildAcpiTable \.\.\. \[Table = MCFG\]$' "ACPI walk traced"
expect_line gavrelo-debug out '^Model Name \.\.\. \[\]$' "no BIOS identity record: empty model name"
expect_line gavrelo-debug out '^superio \.\.\. \[0\]$' "Super I/O detection ran"
expect_no_line gavrelo-debug out '^SIO TYPE' "no Super I/O chip detected"
expect_no_line gavrelo-debug err . "nothing on standard error"
show gavrelo-debug out 40

# The ICH pin owner and the manual panel's ICH object: QEMU's LPC bridge holds no I/O base
# in GPIOBASE (0x48, or 0x58 on older hubs), so each refuses with the reason. What they
# touched is the back end's tally, the last --debug line of a gavreloctl command: every
# request the process put to the hardware, with its targets. The ICH owner reads the two
# base registers and nothing else. The panel's form first runs the start-up's Super I/O
# detection (the configuration ports 0x2E/0x2F and 0x4E/0x4F, and the firmware tables); no
# other port is reached, so no GPIO block wherever it lay, and nothing at all is written
# but the detection's index and entry bytes.
expect_rc ich-base 0
for reg in 48 58; do
  value=$(out ich-base | sed -n "s|^Read PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x00/0x$reg = 0x\([0-9A-F]\{8\}\)\$|\1|p")
  # A base is bit 0 set (I/O space) and nothing outside bits 15:6 and bit 0.
  if [ -n "$value" ] && { [ $((0x$value & 1)) = 0 ] || [ $((0x$value & ~0xFFC1)) != 0 ]; }; then
    pass "ich-base: 00:1f.0 register 0x$reg = 0x$value names no I/O base"
  else
    fail "ich-base: 00:1f.0 register 0x$reg ('$value')"
  fi
done
no_gpio_base='no ICH GPIO block: the LPC bridge 00:1f.0 names no I/O base in register 0x48 or 0x58'
tally='^TLinuxMachine::Accesses \.\.\. \['
for name in ich-gpio-list ich-gpio-set ich-panel-refresh ich-panel-apply; do
  case $name in ich-gpio-*) expect_rc $name 2 ;; *) expect_rc $name 1 ;; esac
  expect_line $name err "$no_gpio_base" "refused: no GPIO base"
  expect_line $name out "${tally}.*; PCI configuration reads [0-9]+: 00:1f\.0 0x48, 00:1f\.0 0x58; PCI configuration writes none; .*memory writes none; MSR reads [^;]*; MSR writes none\]\$" \
    "GPIOBASE read; no configuration, memory or MSR write"
done
for name in ich-gpio-list ich-gpio-set; do
  expect_line $name out "${tally}port reads none; port writes none; PCI configuration reads 2: 00:1f\.0 0x48, 00:1f\.0 0x58; PCI configuration writes none; memory reads none; memory writes none; MSR reads none; MSR writes none\]\$" \
    "no port, memory or MSR request: only the two base registers read"
done
for name in ich-panel-refresh ich-panel-apply; do
  expect_line $name out "${tally}port reads [0-9]+: 0x2F, 0x4F; port writes [0-9]+: 0x2E, 0x2F, 0x4E, 0x4F; " \
    "no port but the Super I/O configuration ports (the form's detection)"
done
show ich-panel-refresh out 40

# Without CAP_SYS_ADMIN: the 64-byte limit is said, not handed out as all ones silently.
expect_line nocap err 'only the first 64 bytes of configuration space' "64-byte limit said"
expect_line nocap out '^Read PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x00/0x3C = ' "register 0x3C still read"

# An unprivileged user: the loader's message once, exit code 0; gavreloctl says why.
load_error='Driver cannot be loaded, re-install the program may fix the issue, if it happens again, report the problem with your system configuration as detail as possible.'
for name in user-gavrelo user-gavrelo-debug; do
  expect_rc $name 0
  count=$(err $name | grep -cxF "$load_error")
  if [ "$count" = 1 ]; then pass "$name: the loader's message once"; else fail "$name: the loader's message $count times"; err $name; fi
done
# gavreloctl without hardware access says why and exits 1, never an empty report.
no_access='^gavreloctl: no hardware access: iopl\(3\): Operation not permitted; /dev/port: Permission denied; /dev/mem: Permission denied \(not running as root\)$'
for name in user-pci-list user-info; do
  expect_rc $name 1
  expect_line $name err "$no_access" "says why: no ports, no /dev/mem"
  expect_no_line $name out . "prints no report"
done

# The snapshot: the same info and pci list on the virtual board built from it.
expect_rc snapshot 0
if [ "$(rc_of snapshot-files)" = 0 ] && base64 -d "$work/out/snapshot-files.stdout" | tar -x -z -C "$work"; then
  board=$work/snapshot/q35.json
  if [ "$("$bin/gavreloctl" --board "$board" info 2>&1 | board_info)" = "$(out info | board_info)" ]; then
    pass "snapshot: info on the snapshot equals info on the real kernel"
  else
    fail "snapshot: info on the snapshot differs"
    diff <("$bin/gavreloctl" --board "$board" info 2>&1 | board_info) <(out info | board_info)
  fi
  if [ "$("$bin/gavreloctl" --board "$board" pci list 2>&1)" = "$(out pci-list)" ]; then
    pass "snapshot: pci list on the snapshot equals pci list on the real kernel"
  else
    fail "snapshot: pci list on the snapshot differs"
    diff <("$bin/gavreloctl" --board "$board" pci list 2>&1) <(out pci-list)
  fi
else
  fail "snapshot: no snapshot came out of the guest"
  err snapshot | tail -n 5
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
