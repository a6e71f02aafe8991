// Kernel services for drivers hosted in the process: the I/O manager (driver and device objects,
// request packets with stack locations, completion and cancellation), the plug-and-play and power
// managers, dispatcher objects (events, mutexes), spin locks with a thread-local interrupt level,
// timers and deferred procedure calls, pool memory with per-tag accounting, counted Unicode
// strings, the driver's service key and object references over the platform's handle table.
//
// The names and shapes are the kernel's, so a driver reads as one. What sits behind them is the
// kernel host (platform/kernel/KernelHost.h): one instance per process or per test fixture.
#pragma once

#include <platform/types.h>
#include <platform/fileio.h>

#include <cstddef>
#include <cstdint>

// ------------------------------------------------------------------------------------------------
// Basic types and status values

typedef LONG NTSTATUS;
typedef UCHAR KIRQL;
typedef KIRQL* PKIRQL;
typedef char16_t WCHAR;
typedef WCHAR* PWCHAR;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;
typedef BOOL BOOLEAN;
typedef ULONG* PULONG;
typedef USHORT* PUSHORT;
typedef UCHAR* PUCHAR;
typedef void* PVOID;
typedef ULONG ACCESS_MASK;
typedef CHAR KPROCESSOR_MODE;
typedef LONG KPRIORITY;

typedef LARGE_INTEGER* PLARGE_INTEGER;

#define NT_SUCCESS(s) (((NTSTATUS)(s)) >= 0)
#define NT_INFORMATION(s) ((((ULONG)(s)) >> 30) == 1)
#define NT_WARNING(s) ((((ULONG)(s)) >> 30) == 2)
#define NT_ERROR(s) ((((ULONG)(s)) >> 30) == 3)

#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_TIMEOUT ((NTSTATUS)0x00000102L)
#define STATUS_PENDING ((NTSTATUS)0x00000103L)
#define STATUS_MORE_PROCESSING_REQUIRED ((NTSTATUS)0xC0000016L)
#define STATUS_DEVICE_BUSY ((NTSTATUS)0x80000011L)
#define STATUS_UNSUCCESSFUL ((NTSTATUS)0xC0000001L)
#define STATUS_NOT_IMPLEMENTED ((NTSTATUS)0xC0000002L)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define STATUS_NO_SUCH_DEVICE ((NTSTATUS)0xC000000EL)
#define STATUS_INVALID_DEVICE_REQUEST ((NTSTATUS)0xC0000010L)
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#define STATUS_OBJECT_TYPE_MISMATCH ((NTSTATUS)0xC0000024L)
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#define STATUS_DELETE_PENDING ((NTSTATUS)0xC0000056L)
#define STATUS_INSUFFICIENT_RESOURCES ((NTSTATUS)0xC000009AL)
#define STATUS_DEVICE_NOT_CONNECTED ((NTSTATUS)0xC000009DL)
#define STATUS_CANCELLED ((NTSTATUS)0xC0000120L)
#define STATUS_DEVICE_REMOVED ((NTSTATUS)0xC00002B6L)
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023L)
#define STATUS_NOT_SUPPORTED ((NTSTATUS)0xC00000BBL)

// Interrupt levels the host keeps per thread.
#define PASSIVE_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2

#define KernelMode 0
#define UserMode 1

#define IO_NO_INCREMENT 0
#define MAXIMUM_ALLOWED 0x02000000u
#define EVENT_MODIFY_STATE 0x0002u
#ifndef KEY_READ
#define KEY_READ 0x20019u
#endif

// ------------------------------------------------------------------------------------------------
// Lists and strings

struct LIST_ENTRY {
  LIST_ENTRY* Flink;
  LIST_ENTRY* Blink;
};
typedef LIST_ENTRY* PLIST_ENTRY;

inline void InitializeListHead(PLIST_ENTRY head) { head->Flink = head->Blink = head; }
inline BOOLEAN IsListEmpty(const LIST_ENTRY* head) { return head->Flink == head; }
inline void InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry) {
  entry->Flink = head;
  entry->Blink = head->Blink;
  head->Blink->Flink = entry;
  head->Blink = entry;
}
inline BOOLEAN RemoveEntryList(PLIST_ENTRY entry) {
  entry->Blink->Flink = entry->Flink;
  entry->Flink->Blink = entry->Blink;
  return entry->Flink == entry->Blink;
}
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head) {
  PLIST_ENTRY entry = head->Flink;
  RemoveEntryList(entry);
  return entry;
}
#define CONTAINING_RECORD(address, type, field) ((type*)((char*)(address)-offsetof(type, field)))

// Byte lengths, as the kernel counts them: Length without the terminator, MaximumLength the buffer.
struct UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
typedef UNICODE_STRING* PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

#include <platform/guid.h>

// ------------------------------------------------------------------------------------------------
// Dispatcher objects, spin locks, timers

enum EVENT_TYPE { NotificationEvent, SynchronizationEvent };
enum KWAIT_REASON { Executive = 0 };

// An event. The host keeps the waitable object behind it; a referenced user-mode event (see
// ObReferenceObjectByHandle) is a KEVENT too, so KeSetEvent wakes user-mode waiters directly.
struct KEVENT {
  void* Object;
  LONG Type;
};
typedef KEVENT* PKEVENT;

struct KMUTEX {
  void* Object;
};
typedef KMUTEX* PKMUTEX;

// A mutex for passive level that is not re-entered.
struct FAST_MUTEX {
  alignas(8) unsigned char Storage[64];
};
typedef FAST_MUTEX* PFAST_MUTEX;

typedef ULONG_PTR KSPIN_LOCK;
typedef KSPIN_LOCK* PKSPIN_LOCK;

struct KDPC;
typedef void (*PKDEFERRED_ROUTINE)(KDPC* dpc, PVOID context, PVOID arg1, PVOID arg2);
struct KDPC {
  PKDEFERRED_ROUTINE DeferredRoutine;
  PVOID DeferredContext;
  PVOID SystemArgument1;
  PVOID SystemArgument2;
};
typedef KDPC* PKDPC;

struct KTIMER {
  void* Host;  // the host that runs the timer while it is set
  LONG Initialized;
};
typedef KTIMER* PKTIMER;

// ------------------------------------------------------------------------------------------------
// I/O manager records

struct DEVICE_OBJECT;
struct DRIVER_OBJECT;
struct IRP;
struct FILE_OBJECT;
typedef DEVICE_OBJECT* PDEVICE_OBJECT;
typedef DRIVER_OBJECT* PDRIVER_OBJECT;
typedef IRP* PIRP;
typedef FILE_OBJECT* PFILE_OBJECT;

typedef NTSTATUS (*PDRIVER_DISPATCH)(PDEVICE_OBJECT device, PIRP irp);
typedef NTSTATUS (*PDRIVER_ADD_DEVICE)(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo);
typedef void (*PDRIVER_UNLOAD)(PDRIVER_OBJECT driver);
typedef NTSTATUS (*PDRIVER_INITIALIZE)(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
typedef NTSTATUS (*PIO_COMPLETION_ROUTINE)(PDEVICE_OBJECT device, PIRP irp, PVOID context);
typedef void (*PDRIVER_CANCEL)(PDEVICE_OBJECT device, PIRP irp);

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_FLUSH_BUFFERS 0x09
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0f
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_POWER 0x16
#define IRP_MJ_SYSTEM_CONTROL 0x17
#define IRP_MJ_PNP 0x1b
#define IRP_MJ_MAXIMUM_FUNCTION 0x1b

#define IRP_MN_START_DEVICE 0x00
#define IRP_MN_QUERY_REMOVE_DEVICE 0x01
#define IRP_MN_REMOVE_DEVICE 0x02
#define IRP_MN_CANCEL_REMOVE_DEVICE 0x03
#define IRP_MN_STOP_DEVICE 0x04
#define IRP_MN_QUERY_STOP_DEVICE 0x05
#define IRP_MN_CANCEL_STOP_DEVICE 0x06
#define IRP_MN_QUERY_CAPABILITIES 0x09
#define IRP_MN_SURPRISE_REMOVAL 0x17

#define IRP_MN_WAIT_WAKE 0x00
#define IRP_MN_POWER_SEQUENCE 0x01
#define IRP_MN_SET_POWER 0x02
#define IRP_MN_QUERY_POWER 0x03

#define SL_PENDING_RETURNED 0x01
#define SL_INVOKE_ON_CANCEL 0x20
#define SL_INVOKE_ON_SUCCESS 0x40
#define SL_INVOKE_ON_ERROR 0x80

#define DO_BUFFERED_IO 0x00000004u
#define DO_EXCLUSIVE 0x00000008u
#define DO_DIRECT_IO 0x00000010u
#define DO_DEVICE_INITIALIZING 0x00000080u
#define DO_POWER_PAGABLE 0x00002000u

#define IOCTL_INTERNAL_USB_SUBMIT_URB 0x00220003u

enum SYSTEM_POWER_STATE {
  PowerSystemUnspecified = 0,
  PowerSystemWorking = 1,
  PowerSystemSleeping1 = 2,
  PowerSystemSleeping2 = 3,
  PowerSystemSleeping3 = 4,
  PowerSystemHibernate = 5,
  PowerSystemShutdown = 6,
  PowerSystemMaximum = 7
};
enum DEVICE_POWER_STATE {
  PowerDeviceUnspecified = 0,
  PowerDeviceD0 = 1,
  PowerDeviceD1 = 2,
  PowerDeviceD2 = 3,
  PowerDeviceD3 = 4,
  PowerDeviceMaximum = 5
};
enum POWER_STATE_TYPE { SystemPowerState = 0, DevicePowerState = 1 };
union POWER_STATE {
  SYSTEM_POWER_STATE SystemState;
  DEVICE_POWER_STATE DeviceState;
};

struct DEVICE_CAPABILITIES {
  USHORT Size;
  USHORT Version;
  ULONG DeviceD1 : 1;
  ULONG DeviceD2 : 1;
  ULONG LockSupported : 1;
  ULONG EjectSupported : 1;
  ULONG Removable : 1;
  ULONG DockDevice : 1;
  ULONG UniqueID : 1;
  ULONG SilentInstall : 1;
  ULONG RawDeviceOK : 1;
  ULONG SurpriseRemovalOK : 1;
  ULONG Reserved : 22;
  ULONG Address;
  ULONG UINumber;
  DEVICE_POWER_STATE DeviceState[PowerSystemMaximum];
  SYSTEM_POWER_STATE SystemWake;
  DEVICE_POWER_STATE DeviceWake;
  ULONG D1Latency;
  ULONG D2Latency;
  ULONG D3Latency;
};
typedef DEVICE_CAPABILITIES* PDEVICE_CAPABILITIES;

// A memory descriptor over a caller's buffer. The host maps nothing: the system address is the
// buffer itself.
struct MDL {
  MDL* Next;
  PVOID StartVa;
  ULONG ByteCount;
};
typedef MDL* PMDL;

struct IO_STATUS_BLOCK {
  NTSTATUS Status;
  ULONG_PTR Information;
};
typedef IO_STATUS_BLOCK* PIO_STATUS_BLOCK;

struct IO_STACK_LOCATION {
  UCHAR MajorFunction;
  UCHAR MinorFunction;
  UCHAR Flags;
  UCHAR Control;
  union {
    struct {
      ULONG Length;
      ULONG Key;
      LARGE_INTEGER ByteOffset;
    } Read;
    struct {
      ULONG Length;
      ULONG Key;
      LARGE_INTEGER ByteOffset;
    } Write;
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
    struct {
      PDEVICE_CAPABILITIES Capabilities;
    } DeviceCapabilities;
    struct {
      ULONG SystemContext;
      POWER_STATE_TYPE Type;
      POWER_STATE State;
      ULONG ShutdownType;
    } Power;
    struct {
      PVOID Argument1;
      PVOID Argument2;
      PVOID Argument3;
      PVOID Argument4;
    } Others;
  } Parameters;
  PDEVICE_OBJECT DeviceObject;
  PFILE_OBJECT FileObject;
  PIO_COMPLETION_ROUTINE CompletionRoutine;
  PVOID Context;
};
typedef IO_STACK_LOCATION* PIO_STACK_LOCATION;

struct IRP {
  USHORT Size;
  PMDL MdlAddress;
  ULONG Flags;
  IO_STATUS_BLOCK IoStatus;
  KPROCESSOR_MODE RequestorMode;
  BOOLEAN PendingReturned;
  CHAR StackCount;
  CHAR CurrentLocation;  // 1-based; StackCount + 1 before the first IoCallDriver
  BOOLEAN Cancel;
  KIRQL CancelIrql;
  PDRIVER_CANCEL CancelRoutine;
  PVOID UserBuffer;
  struct {
    struct {
      LIST_ENTRY ListEntry;
      PVOID DriverContext[4];
      PFILE_OBJECT OriginalFileObject;
    } Overlay;
  } Tail;
  // Host bookkeeping: the I/O manager's own end of a request it built (null for driver IRPs).
  void* HostRequest;
  IO_STACK_LOCATION* Stack;  // StackCount locations; location k (1-based) is Stack[k - 1]
};

struct DRIVER_EXTENSION {
  PDRIVER_OBJECT DriverObject;
  PDRIVER_ADD_DEVICE AddDevice;
  UNICODE_STRING ServiceKeyName;
};

struct DRIVER_OBJECT {
  PDEVICE_OBJECT DeviceObject;  // the driver's devices, linked through NextDevice
  ULONG Flags;
  DRIVER_EXTENSION* DriverExtension;
  UNICODE_STRING DriverName;
  PDRIVER_UNLOAD DriverUnload;
  PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
  void* Host;
};

struct DEVICE_OBJECT {
  PDRIVER_OBJECT DriverObject;
  PDEVICE_OBJECT NextDevice;
  PDEVICE_OBJECT AttachedDevice;  // the device above in the stack
  ULONG Flags;
  ULONG Characteristics;
  ULONG DeviceType;
  CHAR StackSize;
  PVOID DeviceExtension;
  void* Host;       // the host's record of the device
};

struct FILE_OBJECT {
  PDEVICE_OBJECT DeviceObject;
  PVOID FsContext;
  PVOID FsContext2;
  ULONG Flags;
};

struct OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;
  PUNICODE_STRING ObjectName;
  ULONG Attributes;
};
typedef OBJECT_ATTRIBUTES* POBJECT_ATTRIBUTES;
#define OBJ_CASE_INSENSITIVE 0x00000040u
#define OBJ_KERNEL_HANDLE 0x00000200u
inline void InitializeObjectAttributes(POBJECT_ATTRIBUTES a, PUNICODE_STRING name, ULONG attributes, HANDLE root,
                                       PVOID) {
  a->Length = sizeof(*a);
  a->RootDirectory = root;
  a->ObjectName = name;
  a->Attributes = attributes;
}

enum KEY_VALUE_INFORMATION_CLASS { KeyValuePartialInformation = 2 };
struct KEY_VALUE_PARTIAL_INFORMATION {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataLength;
  UCHAR Data[1];
};

typedef void* POBJECT_TYPE;
enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1 };

// ------------------------------------------------------------------------------------------------
// Stack-location helpers (the kernel's macros, as inline functions)

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return &irp->Stack[irp->CurrentLocation - 1]; }
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP irp) { return &irp->Stack[irp->CurrentLocation - 2]; }
inline void IoSkipCurrentIrpStackLocation(PIRP irp) { irp->CurrentLocation++; }
inline void IoCopyCurrentIrpStackLocationToNext(PIRP irp) {
  PIO_STACK_LOCATION from = IoGetCurrentIrpStackLocation(irp);
  PIO_STACK_LOCATION to = IoGetNextIrpStackLocation(irp);
  *to = *from;
  to->CompletionRoutine = nullptr;
  to->Context = nullptr;
  to->Control = 0;
}
inline void IoMarkIrpPending(PIRP irp) { IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED; }
inline void IoSetCompletionRoutine(PIRP irp, PIO_COMPLETION_ROUTINE routine, PVOID context, BOOLEAN onSuccess,
                                   BOOLEAN onError, BOOLEAN onCancel) {
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->CompletionRoutine = routine;
  next->Context = context;
  next->Control = 0;
  if (onSuccess) next->Control |= SL_INVOKE_ON_SUCCESS;
  if (onError) next->Control |= SL_INVOKE_ON_ERROR;
  if (onCancel) next->Control |= SL_INVOKE_ON_CANCEL;
}

// ------------------------------------------------------------------------------------------------
// Services

extern "C" {

// Driver-visible I/O manager.
PLATFORM_API NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name,
                                     ULONG type, ULONG characteristics, BOOLEAN exclusive, PDEVICE_OBJECT* device);
PLATFORM_API void IoDeleteDevice(PDEVICE_OBJECT device);
PLATFORM_API PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target);
PLATFORM_API void IoDetachDevice(PDEVICE_OBJECT target);
PLATFORM_API NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp);
PLATFORM_API void IoCompleteRequest(PIRP irp, CHAR priorityBoost);
PLATFORM_API PIRP IoAllocateIrp(CHAR stackSize, BOOLEAN chargeQuota);
PLATFORM_API void IoFreeIrp(PIRP irp);
PLATFORM_API BOOLEAN IoCancelIrp(PIRP irp);
PLATFORM_API PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine);
PLATFORM_API void IoAcquireCancelSpinLock(PKIRQL irql);
PLATFORM_API void IoReleaseCancelSpinLock(KIRQL irql);
PLATFORM_API NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT pdo, const GUID* interfaceClass,
                                                PUNICODE_STRING reference, PUNICODE_STRING symbolicLink);
PLATFORM_API NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING symbolicLink, BOOLEAN enable);
PLATFORM_API PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, ULONG priority);

// Power manager.
typedef void (*PREQUEST_POWER_COMPLETE)(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context,
                                        PIO_STATUS_BLOCK status);
PLATFORM_API void PoStartNextPowerIrp(PIRP irp);
PLATFORM_API NTSTATUS PoCallDriver(PDEVICE_OBJECT device, PIRP irp);
PLATFORM_API POWER_STATE PoSetPowerState(PDEVICE_OBJECT device, POWER_STATE_TYPE type, POWER_STATE state);
PLATFORM_API NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state,
                                        PREQUEST_POWER_COMPLETE complete, PVOID context, PIRP* irp);

// Dispatcher objects. Waits take a relative time-out (negative, in 100 ns units) or none.
PLATFORM_API void KeInitializeEvent(PKEVENT event, EVENT_TYPE type, BOOLEAN state);
PLATFORM_API LONG KeSetEvent(PKEVENT event, KPRIORITY increment, BOOLEAN wait);
PLATFORM_API void KeClearEvent(PKEVENT event);
PLATFORM_API NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                                            BOOLEAN alertable, PLARGE_INTEGER timeout);
PLATFORM_API void ExInitializeFastMutex(PFAST_MUTEX mutex);
PLATFORM_API void ExAcquireFastMutex(PFAST_MUTEX mutex);
PLATFORM_API void ExReleaseFastMutex(PFAST_MUTEX mutex);
PLATFORM_API KIRQL KeGetCurrentIrql(void);
PLATFORM_API void KeInitializeSpinLock(PKSPIN_LOCK lock);
PLATFORM_API void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL oldIrql);
PLATFORM_API void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL newIrql);

// Timers and DPCs. One DPC thread per host runs the routines at dispatch level.
PLATFORM_API void KeInitializeTimer(PKTIMER timer);
PLATFORM_API void KeInitializeDpc(PKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context);
PLATFORM_API BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG periodMs, PKDPC dpc);
PLATFORM_API BOOLEAN KeCancelTimer(PKTIMER timer);
PLATFORM_API void KeFlushQueuedDpcs(void);

// Objects: references over the platform's handle table (user and kernel share it).
PLATFORM_API extern POBJECT_TYPE* ExEventObjectType;
PLATFORM_API NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK access, POBJECT_TYPE type,
                                                KPROCESSOR_MODE mode, PVOID* object, PVOID info);
PLATFORM_API void ObDereferenceObject(PVOID object);

// Pool. Every allocation is counted under its tag.
PLATFORM_API PVOID ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag);
PLATFORM_API void ExFreePool(PVOID block);
PLATFORM_API void ExFreePoolWithTag(PVOID block, ULONG tag);

// Strings.
PLATFORM_API void RtlInitUnicodeString(PUNICODE_STRING target, PCWSTR source);
PLATFORM_API NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING target);
PLATFORM_API NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING target, PCUNICODE_STRING source);
PLATFORM_API NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING target, PCWSTR source);
PLATFORM_API void RtlCopyUnicodeString(PUNICODE_STRING target, PCUNICODE_STRING source);
PLATFORM_API void RtlFreeUnicodeString(PUNICODE_STRING string);

// Registry below "\Registry\Machine\..." (the platform's machine store).
PLATFORM_API NTSTATUS ZwOpenKey(HANDLE* key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
PLATFORM_API NTSTATUS ZwQueryValueKey(HANDLE key, PUNICODE_STRING name, KEY_VALUE_INFORMATION_CLASS cls,
                                      PVOID info, ULONG length, PULONG resultLength);
PLATFORM_API NTSTATUS ZwClose(HANDLE handle);

// Interlocked operations work as in user mode (platform/sync.h).
}

// A pool tag from four characters as written ('Wdm ' reads "Wdm " in memory).
constexpr ULONG PoolTag(const char (&t)[5]) {
  return (ULONG)(UCHAR)t[0] | ((ULONG)(UCHAR)t[1] << 8) | ((ULONG)(UCHAR)t[2] << 16) | ((ULONG)(UCHAR)t[3] << 24);
}
