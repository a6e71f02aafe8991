// The driver's entry: settings from the service key, one OsciDevice per attached board, and the
// one dispatch routine that hands every request to the device's gate.
#include <platform/kernel/wdm.h>

#include "OsciDevice.h"

namespace qrtdrv {

namespace {

// Driver-wide state, built at entry and destroyed at unload.
struct DriverState {
  PDRIVER_OBJECT driver = nullptr;
  PWSTR registryPath = nullptr;  // NUL-terminated copy
  LONG unitCounter = 0;          // the number of the next device
  LONG standby = 0;
  LONG hibernate = 0;
};
DriverState* gDriver = nullptr;

LONG ReadDword(HANDLE key, const char16_t* name) {
  UNICODE_STRING value;
  RtlInitUnicodeString(&value, name);
  union {
    KEY_VALUE_PARTIAL_INFORMATION info;
    UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 8];
  } buffer{};
  ULONG length = 0;
  if (!NT_SUCCESS(ZwQueryValueKey(key, &value, KeyValuePartialInformation, &buffer, sizeof buffer, &length)) ||
      buffer.info.DataLength < sizeof(ULONG))
    return 0;
  ULONG data;
  __builtin_memcpy(&data, buffer.info.Data, sizeof data);
  return static_cast<LONG>(data);
}

void ReadSettings(PUNICODE_STRING registryPath) {
  gDriver->standby = 0;
  gDriver->hibernate = 0;
  const USHORT bytes = static_cast<USHORT>(registryPath->Length + sizeof(u"\\Parameters"));
  UNICODE_STRING path{0, bytes, static_cast<PWSTR>(PoolAlloc(bytes))};
  if (!path.Buffer) return;
  RtlAppendUnicodeStringToString(&path, registryPath);
  RtlAppendUnicodeToString(&path, u"\\Parameters");
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, 0, nullptr);
  HANDLE key = 0;
  if (NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) {
    gDriver->standby = ReadDword(key, u"Standby");
    gDriver->hibernate = ReadDword(key, u"Hibernate");
    ZwClose(key);
  }
  PoolFree(path.Buffer);
}

NTSTATUS DispatchAny(PDEVICE_OBJECT device, PIRP irp) { return DeviceOf(device)->Dispatch(irp); }

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
  char16_t name[32] = u"\\Device\\OsciDev";
  UNICODE_STRING deviceName{0, sizeof name, name};
  RtlInitUnicodeString(&deviceName, name);
  deviceName.MaximumLength = sizeof name;
  char16_t digits[12];
  UNICODE_STRING number{0, sizeof digits, digits};
  RtlIntegerToUnicodeString(static_cast<ULONG>(gDriver->unitCounter), 10, &number);
  RtlAppendUnicodeStringToString(&deviceName, &number);

  PDEVICE_OBJECT fdo = nullptr;
  if (!NT_SUCCESS(IoCreateDevice(driver, sizeof(OsciDevice), &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo)))
    return STATUS_INSUFFICIENT_RESOURCES;
  fdo->Flags |= DO_DIRECT_IO | DO_POWER_PAGABLE;
  auto* device = new (fdo->DeviceExtension)
      OsciDevice(fdo, pdo, gDriver->unitCounter, gDriver->standby, gDriver->hibernate);
  const NTSTATUS status = device->ConstructionStatus();
  if (!NT_SUCCESS(status)) {
    device->~OsciDevice();
    IoDeleteDevice(fdo);
    return status;
  }
  gDriver->unitCounter++;
  POWER_STATE power;
  power.DeviceState = PowerDeviceD0;
  PoSetPowerState(fdo, DevicePowerState, power);
  fdo->Flags &= ~DO_DEVICE_INITIALIZING;
  return status;
}

void DriverUnload(PDRIVER_OBJECT) {
  if (!gDriver) return;
  PoolFree(gDriver->registryPath);
  PoolDelete(gDriver);
  gDriver = nullptr;
}

}  // namespace

PnpDevice* DeviceOf(PDEVICE_OBJECT device) { return static_cast<OsciDevice*>(device->DeviceExtension); }

}  // namespace qrtdrv

using namespace qrtdrv;

extern "C" __attribute__((visibility("default"))) NTSTATUS DriverEntry(PDRIVER_OBJECT driver,
                                                                      PUNICODE_STRING registryPath) {
  gDriver = PoolNew<DriverState>();
  if (!gDriver) return STATUS_INSUFFICIENT_RESOURCES;
  gDriver->driver = driver;
  const USHORT bytes = static_cast<USHORT>(registryPath->Length + sizeof(WCHAR));
  gDriver->registryPath = static_cast<PWSTR>(PoolAlloc(bytes));
  if (!gDriver->registryPath) {
    PoolDelete(gDriver);
    gDriver = nullptr;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  __builtin_memcpy(gDriver->registryPath, registryPath->Buffer, registryPath->Length);
  gDriver->registryPath[registryPath->Length / sizeof(WCHAR)] = 0;

  for (UCHAR major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_READ, IRP_MJ_WRITE, IRP_MJ_FLUSH_BUFFERS,
                      IRP_MJ_DEVICE_CONTROL, IRP_MJ_CLEANUP, IRP_MJ_POWER, IRP_MJ_SYSTEM_CONTROL, IRP_MJ_PNP})
    driver->MajorFunction[major] = DispatchAny;
  driver->DriverUnload = DriverUnload;
  driver->DriverExtension->AddDevice = AddDevice;

  // "BreakOnEntry" is not read: there is no debugger to break into.
  ReadSettings(registryPath);
  gDriver->unitCounter = 0;
  return STATUS_SUCCESS;
}
