#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_firmware: small boards in the chunk form the target reads
(u32 address, u16 length, bytes). Run from this directory: python3 make_corpus.py"""
import os
import struct


def sealed(data, at, begin=0, length=None):
    data = bytearray(data)
    length = len(data) - begin if length is None else length
    data[at] = 0
    data[at] = (-sum(data[begin:begin + length])) & 0xFF
    return bytes(data)


def table(sig, body, oem=b"GAVREL", oem_table=b"GAVRELO "):
    t = bytearray(sig + struct.pack("<IBB", 36 + len(body), 1, 0) + oem + oem_table +
                  struct.pack("<I", 1) + b"GVRL" + struct.pack("<I", 1) + body)
    return sealed(t, 9)


def chunk(address, data):
    return struct.pack("<IH", address, len(data)) + data


def identity(name=b"GavreloFuzz"):
    r = bytearray(64)
    r[0:8] = b"$CN1368$"
    r[10:10 + len(name)] = name
    r[42:50] = b"P" + bytes([1, 20]) + b"0" + struct.pack("<HBB", 2015, 7, 3)
    return sealed(r, 63)


def acpi(base, revision=0, self_listing=False, xsdt_only=False):
    """Tables laid out from `base`; returns (rsdp, tables blob). xsdt_only: a microVM's layout,
    no RSDT and only the 64-bit FADT pointers (needs revision 2)."""
    blob = bytearray()

    def place(data, align=16):
        while len(blob) % align:
            blob.append(0)
        at = base + len(blob)
        blob.extend(data)
        return at

    facs = place(b"FACS" + struct.pack("<I", 64) + bytes(56), 64)
    dsdt = place(table(b"DSDT", b"\x5b\x80SSDT\x00\x0c" + struct.pack("<I", base) + b"_PSS"))
    fadt_body = bytearray(244 - 36)
    struct.pack_into("<IIxxHIBBBBI", fadt_body, 0, 0 if xsdt_only else facs, 0 if xsdt_only else dsdt,
                     9, 0xB2, 0xF1, 0xF0, 0, 0, 0x600)
    struct.pack_into("<I", fadt_body, 76 - 36, 0x608)
    struct.pack_into("<I", fadt_body, 112 - 36, 0x1A5)
    if xsdt_only:
        struct.pack_into("<QQ", fadt_body, 132 - 36, facs, dsdt)
    fadt = place(table(b"FACP", bytes(fadt_body), b"A M I ", b"OEMFACP "))
    madt_body = struct.pack("<II", 0xFEE00000, 1) + bytes([0, 8, 0, 0]) + struct.pack("<I", 1)
    madt_body += bytes([1, 12, 1, 0]) + struct.pack("<II", 0xFEC00000, 0)
    madt_body += bytes([1, 12, 2, 0]) + struct.pack("<II", 0xFEC01000, 0)
    madt = place(table(b"APIC", madt_body))
    ecdt = place(table(b"ECDT", bytes([1, 8, 0, 1]) + struct.pack("<Q", 0x66) +
                       bytes([1, 8, 0, 1]) + struct.pack("<Q", 0x62) + struct.pack("<IB", 0, 0) + b"\\_SB.EC0\x00"))
    mcfg = place(table(b"MCFG", bytes(8) + struct.pack("<QHBBI", 0xB0000000, 0, 0, 255, 0)))
    ssdt = place(table(b"SSDT", b"\x10\x20\\_PR_CPU0_PSS"))
    entries = [fadt, madt, ecdt, mcfg, ssdt]
    rsdt_at = base + ((len(blob) + 15) // 16) * 16
    if self_listing:
        entries.append(rsdt_at)
    rsdt = place(table(b"RSDT", b"".join(struct.pack("<I", e) for e in entries)))
    assert rsdt == rsdt_at
    xsdt = 0
    if xsdt_only:
        xsdt = place(table(b"XSDT", b"".join(struct.pack("<Q", e) for e in entries)))
    rsdp = bytearray(b"RSD PTR " + b"\0" + b"GAVREL" + bytes([revision]) +
                     struct.pack("<I", 0 if xsdt_only else rsdt))
    if revision >= 2:
        rsdp += struct.pack("<IQ", 36, xsdt) + bytes(4)
    rsdp = sealed(rsdp, 8, 0, 20)
    if revision >= 2:
        rsdp = sealed(rsdp, 32, 0, 36)
    return rsdp, bytes(blob)


def smbios(table_address, devices_mb=(8192, 0, 16384 * 2), zero_length=False, sm3=False):
    t = bytearray()
    t += bytes([16, 0x17]) + struct.pack("<HBBBIHH", 0, 3, 3, 3, 0x2000000, 0xFFFE, len(devices_mb)) + bytes(8) + b"\0\0"
    for i, mb in enumerate(devices_mb):
        size, ext = (0x7FFF, mb) if mb >= 0x7FFF else (mb, 0)
        s = bytearray(0x28)
        s[0], s[1] = 17, 0x28
        struct.pack_into("<HHHHHH", s, 2, 1 + i, 0, 0xFFFE, 64, 64, size)
        s[16] = 1
        s[27] = 1
        struct.pack_into("<I", s, 28, ext)
        t += s + b"DIMM %d\0\0" % i
    if zero_length:
        t += bytes([17, 0, 0, 0])
    t += bytes([127, 4, 0xFF, 0xFF, 0, 0])
    if sm3:
        ep = bytearray(b"_SM3_" + bytes([0, 24, 3, 2, 0, 1, 0]) + struct.pack("<IQ", len(t), table_address))
        return sealed(ep, 5), bytes(t)
    ep = bytearray(b"_SM_" + bytes([0, 0x1F, 2, 8]) + struct.pack("<H", 0x28) + bytes(6) + b"_DMI_" +
                   b"\0" + struct.pack("<HIHB", len(t), table_address, 3 + len(devices_mb), 0x28))
    ep = sealed(ep, 21, 16, 15)
    ep = sealed(ep, 4, 0, 31)
    return bytes(ep), bytes(t)


def board(revision=0, self_listing=False, zero_length=False, stale_identity=False,
          microvm=False):
    rsdp, tables = acpi(0x100000, revision, self_listing, xsdt_only=microvm)
    ep, st = smbios(0xF7020, zero_length=zero_length, sm3=microvm)
    out = b""
    if stale_identity:
        bad = bytearray(identity(b"Stale"))
        bad[63] ^= 1
        out += chunk(0xE8000, bytes(bad))
    out += chunk(0xF0000, identity()) + chunk(0xF6000, rsdp) + chunk(0xF7000, ep)
    out += chunk(0xF7020, st) + chunk(0x100000, tables)
    return out


seeds = {
    "full-rsdp-rev0": board(),
    "full-rsdp-rev2": board(revision=2),
    "rsdt-lists-itself": board(self_listing=True),
    "smbios-zero-length-structure": board(zero_length=True),
    "identity-stale-copy-first": board(stale_identity=True),
    "microvm-xsdt-x-dsdt-sm3": board(revision=2, microvm=True),
}
os.makedirs("corpus", exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join("corpus", name), "wb") as f:
        f.write(data)
