// OrvDrv101.sys: the access driver as a Windows kernel driver. The device control requests
// go through the same dispatcher as the in-process driver (hwaccess/DriverDispatch.h), on a
// machine layer of real instructions (TKernelMachine).
//
// Who may open the device: only SYSTEM and the Administrators group, whatever the caller's
// privileges otherwise. The device object is created with IoCreateDeviceSecure and the
// protected DACL "D:P(A;;GA;;;SY)(A;;GA;;;BA)", with FILE_DEVICE_SECURE_OPEN so that a
// path below the device name is checked against the same DACL. A driver that cannot give
// its device that DACL does not load: it would hand ports and physical memory to everyone.

#include "hwaccess/kernel/KernelHeaders.h"

#include "hwaccess/kernel/KernelMachine.h"

namespace {

// Device and link names of the protocol; user mode opens "\\.\OrvDrv101".
const wchar_t kDeviceName[] = L"\\Device\\OrvDrv101";
const wchar_t kLinkName[] = L"\\DosDevices\\OrvDrv101";
const wchar_t kDeviceSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

#ifdef _WIN64
constexpr drv::TBuild kBuild = drv::TBuild::Nt64;
#else
constexpr drv::TBuild kBuild = drv::TBuild::Nt32;
#endif

// Eight 32-bit words, zeroed; the first holds the device object.
struct TDeviceExtension {
  ULONG Words[8];
};

UNICODE_STRING Unicode(const wchar_t* text) {
  UNICODE_STRING string;
  RtlInitUnicodeString(&string, text);
  return string;
}

NTSTATUS NTAPI CompleteCreateClose(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

// One request of the buffered method: the system buffer carries the record in and the
// reply out; its input and output lengths are the caller's, which the dispatcher checks
// before anything runs.
NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const auto& parameters = stack->Parameters.DeviceIoControl;
  TKernelMachine machine(irp->RequestorMode);
  std::uint32_t information = 0;
  const std::uint32_t status =
      drv::Dispatch(machine, kBuild, parameters.IoControlCode, irp->AssociatedIrp.SystemBuffer,
                    parameters.InputBufferLength, parameters.OutputBufferLength, information);
  irp->IoStatus.Status = static_cast<NTSTATUS>(status);
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return static_cast<NTSTATUS>(status);
}

void NTAPI Unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link = Unicode(kLinkName);
  IoDeleteSymbolicLink(&link);
  if (driver->DeviceObject != nullptr) IoDeleteDevice(driver->DeviceObject);
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  UNICODE_STRING name = Unicode(kDeviceName);
  UNICODE_STRING sddl = Unicode(kDeviceSddl);
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDeviceSecure(driver, sizeof(TDeviceExtension), &name,
                                         FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, FALSE,
                                         &sddl, nullptr, &device);
  if (!NT_SUCCESS(status)) return status;
  UNICODE_STRING link = Unicode(kLinkName);
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = CompleteCreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = CompleteCreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->DriverUnload = Unload;
  auto* extension = static_cast<TDeviceExtension*>(device->DeviceExtension);
  RtlZeroMemory(extension, sizeof(TDeviceExtension));
  RtlCopyMemory(extension->Words, &device, sizeof(device));
  return STATUS_SUCCESS;
}
