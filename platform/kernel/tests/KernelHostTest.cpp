// The kernel host's I/O manager and services, with small drivers written inside the test.
#include <platform/clock.h>
#include <platform/kernel/KernelHost.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using kvp::kernel::KernelHost;

// A driver of the test: records what reaches it and answers as the test says.
struct Probe {
  static inline std::vector<std::string> log;
  static inline NTSTATUS lowerStatus = STATUS_SUCCESS;
  static inline bool lowerPends = false;
  static inline PIRP pended = nullptr;
};

NTSTATUS LowerDispatch(PDEVICE_OBJECT, PIRP irp) {
  Probe::log.push_back("lower");
  if (Probe::lowerPends) {
    IoMarkIrpPending(irp);
    Probe::pended = irp;
    return STATUS_PENDING;
  }
  irp->IoStatus.Status = Probe::lowerStatus;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return Probe::lowerStatus;
}

NTSTATUS UpperDone(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  Probe::log.push_back(std::string("upper routine ") + (device ? "device" : "null") +
                       (irp->PendingReturned ? " pending" : ""));
  return context ? STATUS_MORE_PROCESSING_REQUIRED : STATUS_SUCCESS;
}

struct Stack {
  DRIVER_OBJECT driver{};
  PDEVICE_OBJECT upper = nullptr;
  PDEVICE_OBJECT lower = nullptr;
};

// Two devices of one test driver attached to each other.
class IoManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Probe::log.clear();
    Probe::lowerStatus = STATUS_SUCCESS;
    Probe::lowerPends = false;
    Probe::pended = nullptr;
    for (auto& f : stack_.driver.MajorFunction) f = LowerDispatch;
    stack_.driver.Host = host_.impl();
    ASSERT_EQ(IoCreateDevice(&stack_.driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &stack_.lower),
              STATUS_SUCCESS);
    ASSERT_EQ(IoCreateDevice(&stack_.driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &stack_.upper),
              STATUS_SUCCESS);
    ASSERT_EQ(IoAttachDeviceToDeviceStack(stack_.upper, stack_.lower), stack_.lower);
  }
  void TearDown() override {
    IoDetachDevice(stack_.lower);
    IoDeleteDevice(stack_.upper);
    IoDeleteDevice(stack_.lower);
  }

  // What the upper driver does: sets its routine, passes the request down.
  NTSTATUS SendThroughUpper(PIRP irp, bool keepIrp) {
    irp->CurrentLocation--;  // the upper device's own location
    IoGetCurrentIrpStackLocation(irp)->DeviceObject = stack_.upper;
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, UpperDone, keepIrp ? irp : nullptr, TRUE, TRUE, TRUE);
    return IoCallDriver(stack_.lower, irp);
  }

  KernelHost host_;
  Stack stack_;
};

TEST_F(IoManagerTest, StackSizeGrowsWithTheStack) {
  EXPECT_EQ(stack_.lower->StackSize, 1);
  EXPECT_EQ(stack_.upper->StackSize, 2);
}

TEST_F(IoManagerTest, CompletionRunsUpwardAndPropagatesPending) {
  Probe::lowerPends = true;
  PIRP irp = IoAllocateIrp(2, FALSE);
  EXPECT_EQ(SendThroughUpper(irp, true), STATUS_PENDING);
  ASSERT_EQ(Probe::pended, irp);
  irp->IoStatus.Status = STATUS_SUCCESS;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  EXPECT_EQ(Probe::log, (std::vector<std::string>{"lower", "upper routine device pending"}));
  IoFreeIrp(irp);
  EXPECT_EQ(kvp::kernel::PoolBlocksAll(), 0u);
}

struct RoutineCase {
  NTSTATUS status;
  bool cancel;
  BOOLEAN onSuccess, onError, onCancel;
  bool invoked;
};

NTSTATUS CountingRoutine(PDEVICE_OBJECT, PIRP, PVOID context) {
  ++*static_cast<int*>(context);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

TEST_F(IoManagerTest, CompletionRoutineFlagsTable) {
  const RoutineCase cases[] = {
      {STATUS_SUCCESS, false, TRUE, FALSE, FALSE, true},
      {STATUS_SUCCESS, false, FALSE, TRUE, TRUE, false},
      {STATUS_TIMEOUT, false, TRUE, FALSE, FALSE, true},                     // success class
      {static_cast<NTSTATUS>(0xA0000102), false, FALSE, TRUE, FALSE, true},  // a warning is not success
      {STATUS_UNSUCCESSFUL, false, TRUE, FALSE, FALSE, false},
      {STATUS_CANCELLED, true, FALSE, FALSE, TRUE, true},
  };
  for (const auto& c : cases) {
    int calls = 0;
    PIRP irp = IoAllocateIrp(1, FALSE);
    IoSetCompletionRoutine(irp, CountingRoutine, &calls, c.onSuccess, c.onError, c.onCancel);
    Probe::lowerStatus = c.status;
    irp->Cancel = c.cancel;
    IoCallDriver(stack_.lower, irp);
    EXPECT_EQ(calls, c.invoked ? 1 : 0) << std::hex << c.status;
    IoFreeIrp(irp);
  }
}

TEST_F(IoManagerTest, MoreProcessingRequiredStopsTheWalk) {
  PIRP irp = IoAllocateIrp(2, FALSE);
  SendThroughUpper(irp, true);
  // The request is back with its owner: completing it again finishes the walk above the routine.
  EXPECT_EQ(irp->CurrentLocation, 2);
  IoFreeIrp(irp);
}

void CancelPended(PDEVICE_OBJECT, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  irp->IoStatus.Status = STATUS_CANCELLED;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
}

TEST_F(IoManagerTest, CancelCallsTheCancelRoutineOnce) {
  Probe::lowerPends = true;
  int calls = 0;
  PIRP irp = IoAllocateIrp(1, FALSE);
  IoSetCompletionRoutine(irp, CountingRoutine, &calls, TRUE, TRUE, TRUE);
  EXPECT_EQ(IoCallDriver(stack_.lower, irp), STATUS_PENDING);
  IoSetCancelRoutine(irp, CancelPended);
  EXPECT_TRUE(IoCancelIrp(irp));
  EXPECT_FALSE(IoCancelIrp(irp)) << "the routine is taken by the first cancel";
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(irp->IoStatus.Status, STATUS_CANCELLED);
  IoFreeIrp(irp);
}

// A driver loaded by the host that registers nothing for reads: the I/O manager refuses them.
NTSTATUS BareAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo);
NTSTATUS PassPnp(PDEVICE_OBJECT device, PIRP irp);
PDEVICE_OBJECT gBareLower = nullptr;

NTSTATUS BareCreate(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = STATUS_SUCCESS;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}
NTSTATUS PassPnp(PDEVICE_OBJECT, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(gBareLower, irp);
}
NTSTATUS BareAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
  PDEVICE_OBJECT fdo = nullptr;
  IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
  gBareLower = IoAttachDeviceToDeviceStack(fdo, pdo);
  return STATUS_SUCCESS;
}
NTSTATUS BareEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  driver->MajorFunction[IRP_MJ_CREATE] = BareCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = BareCreate;
  driver->MajorFunction[IRP_MJ_CLEANUP] = BareCreate;
  driver->MajorFunction[IRP_MJ_PNP] = PassPnp;
  driver->DriverExtension->AddDevice = BareAddDevice;
  return STATUS_SUCCESS;
}

class NullUsb : public kvp::kernel::ISimUsbDevice {
 public:
  bool DeviceDescriptor(std::vector<uint8_t>&) override { return false; }
  bool ConfigurationDescriptor(uint8_t, std::vector<uint8_t>&) override { return false; }
  NTSTATUS InterfaceFeature(bool, uint16_t, uint16_t) override { return STATUS_SUCCESS; }
  NTSTATUS ResetPipe(uint8_t) override { return STATUS_SUCCESS; }
  void Submit(std::shared_ptr<kvp::kernel::SimUsbTransfer>) override {}
  void Cancel(const std::shared_ptr<kvp::kernel::SimUsbTransfer>&) override {}
  void Disconnected() override {}
};

TEST(KernelHostTest, UnhandledMajorFunctionIsAnInvalidDeviceRequest) {
  KernelHost host;
  host.RegisterDriver("bare", "USB\\VID_1234&PID_0001", BareEntry);
  host.PlugUsbDevice(std::make_shared<NullUsb>(), "USB\\VID_1234&PID_0001", "1&1");
  host.WaitIdle();
  auto list = host.EnabledInterfaces(kvp::kernel::kGuidDevInterfaceUsbDevice);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.front().symbolicLink, "\\\\?\\usb#vid_1234&pid_0001#1&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  NTSTATUS status = STATUS_UNSUCCESSFUL;
  auto file = host.Open("\\\\?\\USB#VID_1234&PID_0001#1&1#{A5DCBF10-6530-11D2-901F-00C04FB951ED}", &status);
  ASSERT_TRUE(file) << "paths are looked up without regard to case";
  char buffer[4];
  ULONG_PTR info = 0;
  EXPECT_EQ(file->Read(buffer, 4, &info), STATUS_INVALID_DEVICE_REQUEST);
  file.reset();
  host.UnplugUsbDevice("1&1");
  host.WaitIdle();
  EXPECT_TRUE(host.EnabledInterfaces(kvp::kernel::kGuidDevInterfaceUsbDevice).empty());
}

TEST(KernelHostTest, StatusToWin32Table) {
  const struct {
    ULONG status;
    DWORD error;
  } cases[] = {
      {0xC000009A, 1450}, {0xC0000056, 5}, {0xC0000001, 31}, {0xC000000D, 87},
      {0xC0000120, 995},  {0x80000011, 170}, {0xA0000102, 0xA0000102}, {0xE0001234, 0xE0001234},
  };
  for (auto& c : cases) EXPECT_EQ(kvp::kernel::Win32ErrorFromStatus(static_cast<NTSTATUS>(c.status)), c.error);
}

TEST(KernelHostTest, PoolCountsPerTag) {
  const ULONG a = PoolTag("Tst1"), b = PoolTag("Tst2");
  void* x = ExAllocatePoolWithTag(NonPagedPool, 100, a);
  void* y = ExAllocatePoolWithTag(NonPagedPool, 30, a);
  void* z = ExAllocatePoolWithTag(NonPagedPool, 7, b);
  EXPECT_EQ(kvp::kernel::PoolBytes(a), 130u);
  EXPECT_EQ(kvp::kernel::PoolBlocks(a), 2u);
  EXPECT_EQ(kvp::kernel::PoolBlocks(b), 1u);
  ExFreePool(x);
  ExFreePoolWithTag(z, b);
  EXPECT_EQ(kvp::kernel::PoolBytes(a), 30u);
  EXPECT_EQ(kvp::kernel::PoolBlocks(b), 0u);
  ExFreePool(y);
  EXPECT_EQ(kvp::kernel::PoolBlocksAll(), 0u);
}

TEST(KernelHostTest, UnicodeStringsCountBytes) {
  char16_t storage[32];
  UNICODE_STRING s{0, sizeof storage, storage};
  UNICODE_STRING prefix;
  RtlInitUnicodeString(&prefix, u"\\Device\\OsciDev");
  EXPECT_EQ(prefix.Length, 30);
  EXPECT_EQ(RtlAppendUnicodeStringToString(&s, &prefix), STATUS_SUCCESS);
  char16_t digits[8];
  UNICODE_STRING number{0, sizeof digits, digits};
  EXPECT_EQ(RtlIntegerToUnicodeString(12, 10, &number), STATUS_SUCCESS);
  EXPECT_EQ(RtlAppendUnicodeStringToString(&s, &number), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(s.Buffer, s.Length / 2), u"\\Device\\OsciDev12");
  UNICODE_STRING tiny{0, 4, digits};
  EXPECT_EQ(RtlIntegerToUnicodeString(123, 10, &tiny), STATUS_BUFFER_TOO_SMALL);
}

TEST(KernelHostTest, WaitTimesOutOnTheVirtualClockAndEventsAreShared) {
  kvp::ClockUseVirtual(true);
  {
    KernelHost host;
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    LARGE_INTEGER limit;
    limit.QuadPart = -1000 * 10000LL;  // 1000 ms
    auto waiter = std::async(std::launch::async,
                             [&] { return KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &limit); });
    while (kvp::ClockTimedWaiters() == 0) std::this_thread::yield();
    kvp::ClockAdvance(999);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    kvp::ClockAdvance(1);
    EXPECT_EQ(waiter.get(), STATUS_TIMEOUT);

    // A user-mode event referenced by handle is the same object: KeSetEvent wakes user waiters.
    HANDLE user = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    PVOID object = nullptr;
    ASSERT_EQ(ObReferenceObjectByHandle(user, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode, &object, nullptr),
              STATUS_SUCCESS);
    CloseHandle(user);  // the reference keeps the object
    KeSetEvent(static_cast<PKEVENT>(object), IO_NO_INCREMENT, FALSE);
    EXPECT_EQ(KeWaitForSingleObject(object, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    ObDereferenceObject(object);
    EXPECT_NE(ObReferenceObjectByHandle(0x12345, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode, &object, nullptr),
              STATUS_SUCCESS);
  }
  kvp::ClockUseVirtual(false);
}

struct TimerProbe {
  std::atomic<int> ticks{0};
};
void TickDpc(PKDPC, PVOID context, PVOID, PVOID) {
  EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
  ++static_cast<TimerProbe*>(context)->ticks;
}

TEST(KernelHostTest, PeriodicTimerRunsItsDpcOnTheVirtualClock) {
  kvp::ClockUseVirtual(true);
  {
    KernelHost host;
    TimerProbe probe;
    KTIMER timer;
    KDPC dpc;
    KeInitializeTimer(&timer);
    KeInitializeDpc(&dpc, TickDpc, &probe);
    LARGE_INTEGER due;
    due.QuadPart = -10000000LL;
    EXPECT_FALSE(KeSetTimerEx(&timer, due, 1000, &dpc));
    for (int i = 0; i < 3500; i += 10) {
      kvp::ClockAdvance(10);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    KeFlushQueuedDpcs();
    EXPECT_EQ(probe.ticks.load(), 3);
    EXPECT_TRUE(KeCancelTimer(&timer));
    KeFlushQueuedDpcs();
    kvp::ClockAdvance(5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(probe.ticks.load(), 3);
  }
  kvp::ClockUseVirtual(false);
}

// A routine still running on an older host holds the flush, whichever host is the newest.
struct HeldDpc {
  std::promise<void> started;
  std::promise<void> release;
};
void HoldDpc(PKDPC, PVOID context, PVOID, PVOID) {
  auto* held = static_cast<HeldDpc*>(context);
  held->started.set_value();
  held->release.get_future().wait();
}

TEST(KernelHostTest, FlushWaitsForTheTimersOwnHost) {
  KernelHost older;
  HeldDpc held;
  KTIMER timer;
  KDPC dpc;
  KeInitializeTimer(&timer);  // on the host active now: the older one
  KeInitializeDpc(&dpc, HoldDpc, &held);
  KernelHost newer;
  ASSERT_EQ(KernelHost::Active(), &newer);
  LARGE_INTEGER now;
  now.QuadPart = 0;
  KeSetTimerEx(&timer, now, 0, &dpc);
  held.started.get_future().wait();

  auto flushed = std::async(std::launch::async, [] { KeFlushQueuedDpcs(); });
  EXPECT_EQ(flushed.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
      << "the flush returned while the routine still ran";
  held.release.set_value();
  flushed.get();
}

}  // namespace
