// IoCreateDeviceSecure for OrvDrv101.sys. The function is no kernel export but part of the
// WDK's static wdmsec library, which mingw-w64 does not ship; this is its counterpart for
// the driver's own use: IoCreateDevice, then the device's DACL set from the SDDL string
// before the device can be opened (the I/O manager refuses opens while the device is
// still initializing, that is until DriverEntry returns).
//
// It understands the SDDL strings of the table below, each a protected DACL of
// access-allowed entries; any other string fails with STATUS_INVALID_PARAMETER and no
// device. GA (generic all) is stored mapped through the file objects' generic mapping,
// FILE_ALL_ACCESS, as the WDK's version stores it.

#include "hwaccess/kernel/KernelHeaders.h"

namespace {

// Well-known trustees: SY = S-1-5-18 (LocalSystem), BA = S-1-5-32-544 (Administrators).
struct TTrustee {
  UCHAR SubAuthorityCount;
  ULONG SubAuthority[2];
};
constexpr TTrustee kSystem = {1, {SECURITY_LOCAL_SYSTEM_RID, 0}};
constexpr TTrustee kAdministrators = {2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};

struct TSddl {
  const wchar_t* Text;
  const TTrustee* Allowed[2];  // each granted FILE_ALL_ACCESS
};
constexpr TSddl kKnownSddl[] = {
    /* 0 */ {L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", {&kSystem, &kAdministrators}},
};

bool SameText(PCUNICODE_STRING string, const wchar_t* text) {
  const USHORT count = string->Length / sizeof(wchar_t);
  for (USHORT i = 0; i < count; ++i) {
    if (text[i] == 0 || text[i] != string->Buffer[i]) return false;
  }
  return text[count] == 0;
}

// A SID of the NT authority with the trustee's sub-authorities, in `storage`.
PSID BuildSid(const TTrustee& trustee, ULONG* storage) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = storage;
  RtlInitializeSid(sid, &nt, trustee.SubAuthorityCount);
  for (UCHAR i = 0; i < trustee.SubAuthorityCount; ++i) {
    *RtlSubAuthoritySid(sid, i) = trustee.SubAuthority[i];
  }
  return sid;
}

NTSTATUS ApplyDacl(PDEVICE_OBJECT device, const TSddl& sddl) {
  ULONG sids[2][4] = {};  // SID header plus up to two sub-authorities each
  ULONG aclStorage[64] = {};
  PACL acl = reinterpret_cast<PACL>(aclStorage);
  NTSTATUS status = RtlCreateAcl(acl, sizeof(aclStorage), ACL_REVISION);
  for (int i = 0; i < 2 && NT_SUCCESS(status); ++i) {
    if (sddl.Allowed[i] == nullptr) continue;
    status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS,
                                    BuildSid(*sddl.Allowed[i], sids[i]));
  }
  SECURITY_DESCRIPTOR descriptor;
  if (NT_SUCCESS(status)) status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
  if (!NT_SUCCESS(status)) return status;
  descriptor.Control |= SE_DACL_PROTECTED;  // "P": no entries inherited from above

  HANDLE handle = nullptr;
  status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, nullptr, WRITE_DAC, nullptr,
                                 KernelMode, &handle);
  if (!NT_SUCCESS(status)) return status;
  status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
  ZwClose(handle);
  return status;
}

}  // namespace

extern "C" NTSTATUS WdmlibIoCreateDeviceSecure(PDRIVER_OBJECT driver, ULONG extensionSize,
                                               PUNICODE_STRING name, DEVICE_TYPE type,
                                               ULONG characteristics, BOOLEAN exclusive,
                                               PCUNICODE_STRING sddl, LPCGUID,
                                               PDEVICE_OBJECT* device) {
  *device = nullptr;
  const TSddl* known = nullptr;
  for (const TSddl& entry : kKnownSddl) {
    if (sddl != nullptr && SameText(sddl, entry.Text)) known = &entry;
  }
  if (known == nullptr) return STATUS_INVALID_PARAMETER;
  PDEVICE_OBJECT created = nullptr;
  NTSTATUS status = IoCreateDevice(driver, extensionSize, name, type, characteristics,
                                   exclusive, &created);
  if (!NT_SUCCESS(status)) return status;
  status = ApplyDacl(created, *known);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(created);
    return status;
  }
  *device = created;
  return STATUS_SUCCESS;
}
