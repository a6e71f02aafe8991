// The USB bus's contract with the device behind it, the same for the simulated board and libusb:
// a cancelled transfer completes only when the device has let go of its buffer, and feature
// requests and pipe resets pend until the device answers, so no caller (the keep-alive DPC) waits.
#include <platform/kernel/KernelHost.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

namespace {

using kvp::kernel::KernelHost;
using kvp::kernel::SimUsbTransfer;

PDEVICE_OBJECT gPdo = nullptr;

NTSTATUS PassPnp(PDEVICE_OBJECT, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(gPdo, irp);
}
NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
  PDEVICE_OBJECT fdo = nullptr;
  IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
  gPdo = IoAttachDeviceToDeviceStack(fdo, pdo);
  return STATUS_SUCCESS;
}
NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  driver->MajorFunction[IRP_MJ_PNP] = PassPnp;
  driver->DriverExtension->AddDevice = AddDevice;
  return STATUS_SUCCESS;
}

// A device whose answers the test gives: transfers, cancels, features and resets wait for it.
class HeldUsb : public kvp::kernel::ISimUsbDevice {
 public:
  explicit HeldUsb(bool asyncCancel) : asyncCancel_(asyncCancel) {}
  bool DeviceDescriptor(std::vector<uint8_t>& out) override {
    out = {18, 1, 0, 2, 0xFF, 0, 0, 64, 0x34, 0x12, 0x01, 0, 0, 1, 0, 0, 0, 1};
    return true;
  }
  bool ConfigurationDescriptor(uint8_t index, std::vector<uint8_t>& out) override {
    if (index) return false;
    out = {9, 2, 32, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 2, 0xFF, 0, 0, 0,
           7, 5, 0x02, 2, 64, 0, 0, 7, 5, 0x81, 2, 64, 0, 0};
    return true;
  }
  NTSTATUS InterfaceFeature(bool, uint16_t, uint16_t) override { return STATUS_SUCCESS; }
  NTSTATUS ResetPipe(uint8_t) override { return STATUS_SUCCESS; }
  void Submit(std::shared_ptr<SimUsbTransfer> t) override {
    std::lock_guard lock(mu);
    transfer = std::move(t);
  }
  void Cancel(const std::shared_ptr<SimUsbTransfer>&) override {}
  void Disconnected() override {}
  void CancelTransfer(const std::shared_ptr<SimUsbTransfer>& t) override {
    std::lock_guard lock(mu);
    ++cancels;
    if (!asyncCancel_) ISimUsbDevice::CancelTransfer(t);
  }
  void InterfaceFeatureAsync(bool set, uint16_t selector, uint16_t, std::function<void(NTSTATUS)> done) override {
    std::lock_guard lock(mu);
    log.push_back((set ? "set " : "clear ") + std::to_string(selector));
    answer = std::move(done);
  }
  void ResetPipeAsync(uint8_t endpoint, std::function<void(NTSTATUS)> done) override {
    std::lock_guard lock(mu);
    log.push_back("reset " + std::to_string(endpoint));
    answer = std::move(done);
  }

  std::mutex mu;
  std::shared_ptr<SimUsbTransfer> transfer;
  std::function<void(NTSTATUS)> answer;
  std::vector<std::string> log;
  int cancels = 0;

 private:
  bool asyncCancel_;
};

struct Sent {
  PIRP irp = nullptr;
  bool completed = false;
  NTSTATUS status = STATUS_PENDING;
};

NTSTATUS Completed(PDEVICE_OBJECT, PIRP irp, PVOID context) {
  auto* sent = static_cast<Sent*>(context);
  sent->status = irp->IoStatus.Status;
  sent->completed = true;
  return STATUS_MORE_PROCESSING_REQUIRED;
}

class UsbBusTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    usb_ = std::make_shared<HeldUsb>(GetParam());
    host_.RegisterDriver("held", "USB\\VID_1234&PID_0001", Entry);
    host_.PlugUsbDevice(usb_, "USB\\VID_1234&PID_0001", "1&7");
    host_.WaitIdle();
    ASSERT_TRUE(gPdo);
    // Select configuration 1 for the pipe handles.
    std::vector<uint8_t> config;
    usb_->ConfigurationDescriptor(0, config);
    auto* cd = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {{USBD_ParseConfigurationDescriptorEx(cd, cd, 0, 0, -1, -1, -1), nullptr},
                                         {nullptr, nullptr}};
    PURB select = USBD_CreateConfigurationRequestEx(cd, list);
    Sent s;
    ASSERT_EQ(Send(select, s), STATUS_SUCCESS);
    for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i)
      if (list[0].Interface->Pipes[i].EndpointAddress == 0x81) inPipe_ = list[0].Interface->Pipes[i].PipeHandle;
    ExFreePool(select);
    ASSERT_TRUE(inPipe_);
  }
  void TearDown() override {
    host_.UnplugUsbDevice("1&7");
    host_.WaitIdle();
    host_.UnloadDriver("held");
  }

  NTSTATUS Send(PURB urb, Sent& sent) {
    sent.irp = IoAllocateIrp(gPdo->StackSize, FALSE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(sent.irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(sent.irp, Completed, &sent, TRUE, TRUE, TRUE);
    const NTSTATUS status = IoCallDriver(gPdo, sent.irp);
    if (sent.completed) {
      IoFreeIrp(sent.irp);
      sent.irp = nullptr;
      return sent.status;
    }
    return status;
  }

  KernelHost host_;
  std::shared_ptr<HeldUsb> usb_;
  USBD_PIPE_HANDLE inPipe_ = nullptr;
};

TEST_P(UsbBusTest, CancelledTransferCompletesOnlyWhenTheDeviceLetsGoOfTheBuffer) {
  const bool deviceCancelsLater = GetParam();
  uint8_t buffer[64];
  URB urb{};
  auto& bulk = urb.UrbBulkOrInterruptTransfer;
  bulk.Hdr.Length = sizeof bulk;
  bulk.Hdr.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  bulk.PipeHandle = inPipe_;
  bulk.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK;
  bulk.TransferBufferLength = sizeof buffer;
  bulk.TransferBuffer = buffer;
  Sent sent;
  ASSERT_EQ(Send(&urb, sent), STATUS_PENDING);
  ASSERT_TRUE(usb_->transfer);
  IoCancelIrp(sent.irp);
  EXPECT_EQ(usb_->cancels, 1);
  EXPECT_EQ(sent.completed, !deviceCancelsLater) << "the buffer may still be written";
  if (deviceCancelsLater) {
    ASSERT_TRUE(usb_->transfer->Claim());
    usb_->transfer->Finish(STATUS_CANCELLED, 0);  // the device has let go of it
  }
  EXPECT_TRUE(sent.completed);
  EXPECT_EQ(sent.status, STATUS_CANCELLED);
  EXPECT_EQ(bulk.Hdr.Status, USBD_STATUS_CANCELED);
  IoFreeIrp(sent.irp);
}

TEST_P(UsbBusTest, FeatureRequestsAndPipeResetsPendUntilTheDeviceAnswers) {
  const struct {
    USHORT function;
    NTSTATUS answer;
    const char* logged;
    USBD_STATUS urbStatus;
  } cases[] = {
      {URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE, STATUS_SUCCESS, "clear 2", USBD_STATUS_SUCCESS},
      {URB_FUNCTION_SET_FEATURE_TO_INTERFACE, STATUS_DEVICE_NOT_CONNECTED, "set 2", USBD_STATUS_DEVICE_GONE},
      {URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL, STATUS_UNSUCCESSFUL, "reset 129", USBD_STATUS_STALL_PID},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.logged);
    URB urb{};
    if (c.function == URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL) {
      urb.UrbPipeRequest.Hdr.Length = sizeof(_URB_PIPE_REQUEST);
      urb.UrbPipeRequest.PipeHandle = inPipe_;
    } else {
      urb.UrbControlFeatureRequest.Hdr.Length = sizeof(_URB_CONTROL_FEATURE_REQUEST);
      urb.UrbControlFeatureRequest.FeatureSelector = 2;
    }
    urb.UrbHeader.Function = c.function;
    Sent sent;
    EXPECT_EQ(Send(&urb, sent), STATUS_PENDING);
    EXPECT_FALSE(sent.completed) << "the caller does not wait for the wire";
    ASSERT_FALSE(usb_->log.empty());
    EXPECT_EQ(usb_->log.back(), c.logged);
    usb_->answer(c.answer);
    EXPECT_TRUE(sent.completed);
    EXPECT_EQ(sent.status, c.answer);
    EXPECT_EQ(urb.UrbHeader.Status, c.urbStatus);
    IoFreeIrp(sent.irp);
  }
}

INSTANTIATE_TEST_SUITE_P(Cancel, UsbBusTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DeviceEndsLater" : "DeviceEndsAtOnce"; });

}  // namespace
