// qrtdrv on the kernel host with the simulated board below it: open, write-and-reply, reads from
// the ring, control codes, keep-alive, start variants, plug and play and power.
#include "DriverFixture.h"

#include <algorithm>

namespace qrtdrv::test {
namespace {

using sim::UsbBoardKnobs;

TEST_F(DriverFixture, WriteStoresTheReplyAndSetsTheDataEvent) {
  Plug();
  OpenWithEvent();
  ULONG_PTR sent = 0;
  EXPECT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
  EXPECT_EQ(sent, kInfoRequest.size());
  EXPECT_TRUE(EventSet());
  const auto reply = Read(100);
  ASSERT_EQ(reply.size(), kInfoReplySize);
  EXPECT_EQ(reply[0], 0x04);
  EXPECT_EQ(Read(100).size(), 0u) << "a read never waits: nothing more was received";
  EXPECT_EQ(host_->DeviceNames(), std::vector<std::string>{"\\Device\\OsciDev0"});
}

TEST_F(DriverFixture, ReadTakesWhatIsAskedAndLeavesTheRest) {
  Plug();
  OpenWithEvent();
  ULONG_PTR sent = 0;
  ASSERT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
  EXPECT_EQ(Read(10).size(), 10u);
  EXPECT_EQ(Read(100).size(), kInfoReplySize - 10);
}

// How the OUT and IN transfers of one write end, and what the write reports.
struct WriteCase {
  const char* name;
  void (*knobs)(UsbBoardKnobs&);
  NTSTATUS status;
  bool reportsBytes;
  size_t nextRead;  // what the next read returns (the catch-up read waits up to 5000 ms)
};

const WriteCase kWriteCases[] = {
    {"instant", [](UsbBoardKnobs&) {}, STATUS_SUCCESS, true, kInfoReplySize},
    {"reply after 1500 ms", [](UsbBoardKnobs& k) { k.replyDelayMs = 1500; },
     static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT), true, kInfoReplySize},
    {"reply after 7000 ms", [](UsbBoardKnobs& k) { k.replyDelayMs = 7000; },
     static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT), true, 0},
    {"reply lost", [](UsbBoardKnobs& k) { k.replyDelayMs = sim::kNeverMs; },
     static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT), true, 0},
    {"OUT stalls", [](UsbBoardKnobs& k) { k.outStall = true; }, STATUS_UNSUCCESSFUL, false, 0},
    {"OUT never completes", [](UsbBoardKnobs& k) { k.outNeverCompletes = true; },
     static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT), false, 0},
    {"IN fails", [](UsbBoardKnobs& k) { k.inError = true; }, STATUS_SUCCESS, true, 0},
};

TEST_F(DriverFixture, WriteResultTable) {
  for (const auto& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    board_->UpdateKnobs([&](UsbBoardKnobs& k) {
      k = UsbBoardKnobs{};
      c.knobs(k);
    });
    board_->SetMode(sim::UsbBoardMode::App);
    Plug();  // a fresh board: nothing left queued from the case before
    OpenWithEvent();
    ULONG_PTR sent = 99;
    EXPECT_EQ(Write(kInfoRequest, &sent), c.status);
    EXPECT_EQ(sent, c.reportsBytes ? kInfoRequest.size() : 0u);
    board_->UpdateKnobs([&](UsbBoardKnobs& k) { k.inError = k.outStall = k.outNeverCompletes = false; });
    EXPECT_EQ(Read(200).size(), c.nextRead);
    CloseFile();
    CloseHandle(event_);
    event_ = 0;
    board_->Unplug();
    host_->WaitIdle();
  }
}

TEST_F(DriverFixture, FlushDiscardsALateReplyAndTheRing) {
  Plug();
  OpenWithEvent();
  board_->UpdateKnobs([](UsbBoardKnobs& k) { k.replyDelayMs = 1500; });
  ULONG_PTR sent = 0;
  ASSERT_EQ(Write(kInfoRequest, &sent), static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT));
  EXPECT_EQ(file_->Flush(), STATUS_SUCCESS);
  EXPECT_EQ(Read(200).size(), 0u) << "no catch-up read after a flush";
}

TEST_F(DriverFixture, FullRingDropsTheNextReplyWithoutNotice) {
  Plug();
  OpenWithEvent();
  ULONG_PTR sent = 0;
  const size_t fits = (0x8400 - kMaxTransfer) / kInfoReplySize;  // 29568 bytes of replies
  for (size_t i = 0; i < fits; ++i) ASSERT_EQ(file_->Write(kInfoRequest.data(), 4, &sent), STATUS_SUCCESS);
  EXPECT_TRUE(EventSet());
  EXPECT_EQ(file_->Write(kInfoRequest.data(), 4, &sent), STATUS_SUCCESS);
  EXPECT_FALSE(EventSet()) << "a dropped reply sets no event";
  size_t total = 0;
  for (sim::Bytes chunk; !(chunk = Read(4096)).empty();) total += chunk.size();
  EXPECT_EQ(total, fits * kInfoReplySize);
}

TEST_F(DriverFixture, WriteLongerThanATransferSendsTheFirst4224Bytes) {
  Plug();
  OpenWithEvent();
  sim::Bytes big(5000, 0x55);  // no frame: the board does not answer
  ULONG_PTR sent = 0;
  EXPECT_EQ(Write(big, &sent), static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT));
  EXPECT_EQ(sent, kMaxTransfer);
  EXPECT_EQ(board_->OutTransfers().back().size(), kMaxTransfer);
}

TEST_F(DriverFixture, SecondOpenIsRefusedAndChangesNothing) {
  Plug();
  OpenWithEvent();
  board_->UpdateKnobs([](UsbBoardKnobs& k) { k.replyDelayMs = 1500; });
  ULONG_PTR sent = 0;
  ASSERT_EQ(Write(kInfoRequest, &sent), static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT));
  const size_t resets = board_->PipeResets();
  NTSTATUS status = STATUS_SUCCESS;
  EXPECT_FALSE(Open(&status));
  EXPECT_EQ(status, STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(board_->PipeResets(), resets);
  EXPECT_EQ(Read(200).size(), kInfoReplySize) << "the refused open kept the pending reply";

  // After the first handle is gone an open succeeds with both pipes reset and the ring empty.
  board_->UpdateKnobs([](UsbBoardKnobs& k) { k.replyDelayMs = 0; });
  ASSERT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
  CloseFile();
  file_ = Open(&status);
  ASSERT_TRUE(file_);
  EXPECT_EQ(board_->PipeResets(), resets + 2);
  EXPECT_EQ(Read(200).size(), 0u);
}

struct ControlCase {
  const char* name;
  ULONG code;
  std::vector<uint8_t> input;  // empty: no input pointer
  NTSTATUS status;
  std::vector<sim::FeatureRecord> features;  // sent to the board
};

const ControlCase kControlCases[] = {
    {"ping", IOCTL_PING, {}, STATUS_SUCCESS, {}},
    {"set feature 1", IOCTL_SET_FEATURE, {1, 0, 0, 0}, STATUS_SUCCESS, {{true, 1}}},
    {"clear feature 3", IOCTL_CLEAR_FEATURE, {3, 0, 0, 0}, STATUS_SUCCESS, {{false, 3}}},
    {"feature with a 2-byte input", IOCTL_CLEAR_FEATURE, {3, 0}, STATUS_SUCCESS, {{false, 3}}},
    {"feature without input", IOCTL_SET_FEATURE, {}, STATUS_INVALID_PARAMETER, {}},
    {"feature with 1 byte", IOCTL_SET_FEATURE, {1}, STATUS_INVALID_PARAMETER, {}},
    {"event handle too short", IOCTL_SET_DATA_EVENT, {1, 0}, STATUS_INVALID_PARAMETER, {}},
    {"event handle naming nothing", IOCTL_SET_REMOVAL_EVENT, {0x77, 0x77, 0, 0}, STATUS_SUCCESS, {}},
    {"unknown code", CTL_CODE(FILE_DEVICE_UNKNOWN, 0x805, METHOD_NEITHER, FILE_ANY_ACCESS), {1, 0, 0, 0},
     STATUS_INVALID_PARAMETER, {}},
};

TEST_F(DriverFixture, ControlCodeTable) {
  Plug();
  OpenWithEvent();
  for (const auto& c : kControlCases) {
    SCOPED_TRACE(c.name);
    const size_t before = board_->Features().size();
    std::vector<uint8_t> input = c.input;
    ULONG_PTR info = 55;
    EXPECT_EQ(file_->IoControl(c.code, input.empty() ? nullptr : input.data(), static_cast<ULONG>(input.size()),
                               nullptr, 0, &info),
              c.status);
    EXPECT_EQ(info, 0u);
    auto features = board_->Features();
    ASSERT_EQ(features.size() - before, c.features.size());
    for (size_t i = 0; i < c.features.size(); ++i) {
      EXPECT_EQ(features[before + i].set, c.features[i].set);
      EXPECT_EQ(features[before + i].selector, c.features[i].selector);
    }
  }
  // The data event handed in first is still held: a bad control code changed nothing.
  ULONG_PTR sent = 0;
  ASSERT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
  EXPECT_TRUE(EventSet());
  // Without an input pointer the event is let go: replies are stored without a signal.
  ULONG_PTR info = 0;
  ASSERT_EQ(file_->IoControl(IOCTL_SET_DATA_EVENT, nullptr, 0, nullptr, 0, &info), STATUS_SUCCESS);
  ASSERT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
  EXPECT_FALSE(EventSet());
  EXPECT_EQ(Read(500).size(), 2 * kInfoReplySize);
}

TEST_F(DriverFixture, KeepAliveTicksEverySecondWhileWatchdogIsOn) {
  Plug();
  OpenWithEvent();
  uint32_t one = 1;
  ULONG_PTR info = 0;
  ASSERT_EQ(file_->IoControl(IOCTL_SET_FEATURE, &one, 4, nullptr, 0, &info), STATUS_SUCCESS);
  AdvanceBy(5000);
  EXPECT_GE(board_->KeepAliveTicks(), 4u);
  EXPECT_LE(board_->KeepAliveTicks(), 5u);
  ASSERT_EQ(file_->IoControl(IOCTL_CLEAR_FEATURE, &one, 4, nullptr, 0, &info), STATUS_SUCCESS);
  const size_t ticks = board_->KeepAliveTicks();
  AdvanceBy(3000);
  EXPECT_EQ(board_->KeepAliveTicks(), ticks);

  // Cleanup sends CLEAR_FEATURE 1 and stops the timer; the keep-alive flag survives it, so the
  // next open ticks again once the watchdog is set.
  ASSERT_EQ(file_->IoControl(IOCTL_SET_FEATURE, &one, 4, nullptr, 0, &info), STATUS_SUCCESS);
  CloseFile();
  const auto features = board_->Features();
  EXPECT_FALSE(features.back().set);
  EXPECT_EQ(features.back().selector, 1);
  const size_t afterClose = board_->KeepAliveTicks();
  AdvanceBy(3000);
  EXPECT_EQ(board_->KeepAliveTicks(), afterClose) << "no timer runs without a handle";
  file_ = Open();
  AdvanceBy(2000);
  EXPECT_GT(board_->KeepAliveTicks(), afterClose);
}

struct StartCase {
  sim::UsbDescriptorVariant variant;
  bool starts;
};

TEST_F(DriverFixture, StartVariantTable) {
  const StartCase cases[] = {
      {sim::UsbDescriptorVariant::Normal, true},
      {sim::UsbDescriptorVariant::ExtraEndpoint, true},
      {sim::UsbDescriptorVariant::NoConfiguration1, false},
      {sim::UsbDescriptorVariant::NoInterface0, false},
      {sim::UsbDescriptorVariant::NoDeviceDescriptor, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.variant));
    board_->UpdateKnobs([&](UsbBoardKnobs& k) { k.descriptor = c.variant; });
    Plug();
    EXPECT_EQ(host_->EnabledInterfaces(kOsciGuid).size(), c.starts ? 1u : 0u);
    board_->Unplug();
    host_->WaitIdle();
  }
}

TEST_F(DriverFixture, UnitNumbersGrowAndAreNotReused) {
  auto second = std::make_shared<sim::UsbBoard>(model_);
  Plug();
  second->Plug(*host_);
  host_->WaitIdle();
  auto names = host_->DeviceNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"\\Device\\OsciDev0", "\\Device\\OsciDev1"}));
  board_->Unplug();
  second->Unplug();
  host_->WaitIdle();
  EXPECT_TRUE(host_->DeviceNames().empty());
  Plug();
  EXPECT_EQ(host_->DeviceNames(), std::vector<std::string>{"\\Device\\OsciDev2"});
}

TEST_F(DriverFixture, SurpriseRemovalWithAHandleOpen) {
  Plug();
  OpenWithEvent();
  HANDLE removal = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  uint32_t h = removal;
  ULONG_PTR info = 0;
  ASSERT_EQ(file_->IoControl(IOCTL_SET_REMOVAL_EVENT, &h, 4, nullptr, 0, &info), STATUS_SUCCESS);
  board_->Unplug();
  host_->WaitIdle();
  EXPECT_EQ(WaitForSingleObject(removal, 0), WAIT_OBJECT_0);
  ULONG_PTR sent = 0;
  EXPECT_EQ(Write(kInfoRequest, &sent), STATUS_DELETE_PENDING);
  EXPECT_EQ(file_->IoControl(IOCTL_PING, nullptr, 0, nullptr, 0, &info), STATUS_DELETE_PENDING);
  EXPECT_EQ(host_->DeviceNames().size(), 1u) << "the device object stays while the handle is open";
  CloseFile();
  host_->WaitIdle();
  EXPECT_TRUE(host_->DeviceNames().empty());
  CloseHandle(removal);
}

TEST_F(DriverFixture, RemoveWhileAHandleIsOpenDeletesAtTheLastClose) {
  Plug();
  OpenWithEvent();
  EXPECT_EQ(host_->SendPnp(board_->InstanceId(), IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
  ULONG_PTR sent = 0;
  EXPECT_EQ(Write(kInfoRequest, &sent), STATUS_DELETE_PENDING);
  EXPECT_EQ(host_->DeviceNames().size(), 1u);
  CloseFile();
  EXPECT_TRUE(host_->DeviceNames().empty());
}

TEST_F(DriverFixture, StopAndQueryTable) {
  Plug();
  const std::string id = board_->InstanceId();
  // With a handle open the device refuses to stop or to be removed.
  OpenWithEvent();
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_QUERY_STOP_DEVICE), STATUS_DEVICE_BUSY);
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_DEVICE_BUSY);
  CloseFile();
  // Without one: query-stop holds new requests until cancel-stop releases them.
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_CANCEL_REMOVE_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
  file_ = Open();  // an open passes; its requests wait
  ASSERT_TRUE(file_);
  ULONG_PTR sent = 0;
  auto held = std::async(std::launch::async, [&] { return file_->Write(kInfoRequest.data(), 4, &sent); });
  EXPECT_EQ(held.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout) << "held while stop pending";
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_CANCEL_STOP_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(held.get(), STATUS_SUCCESS);
  CloseFile();

  // Stop disables the interface and frees the ring; a request waits for the restart.
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
  EXPECT_TRUE(host_->EnabledInterfaces(kOsciGuid).empty());
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_START_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(host_->EnabledInterfaces(kOsciGuid).size(), 1u);
  OpenWithEvent();
  EXPECT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
}

TEST_F(DriverFixture, RequestHeldWhileStoppedIsReleasedByTheRestart) {
  Plug();
  const std::string id = board_->InstanceId();
  OpenWithEvent();
  // Stop the device under an open handle (the host's test entry sends STOP directly).
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
  ULONG_PTR sent = 0;
  auto held = std::async(std::launch::async, [&] { return file_->Write(kInfoRequest.data(), 4, &sent); });
  EXPECT_EQ(held.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_START_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(held.get(), STATUS_SUCCESS);
}

TEST_F(DriverFixture, HeldRequestOfAClosingFileIsCancelled) {
  Plug();
  const std::string id = board_->InstanceId();
  OpenWithEvent();
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
  ULONG_PTR sent = 0;
  auto held = std::async(std::launch::async, [&] { return file_->Write(kInfoRequest.data(), 4, &sent); });
  EXPECT_EQ(held.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  file_->Cleanup();
  EXPECT_EQ(held.get(), STATUS_CANCELLED);
  file_->Close();
  file_.reset();
  EXPECT_EQ(host_->SendPnp(id, IRP_MN_START_DEVICE), STATUS_SUCCESS);
}

struct PowerCase {
  int standby, hibernate;  // -1: value absent
  SYSTEM_POWER_STATE state;
  bool allowed;
};

TEST_F(DriverFixture, SystemPowerQueryTable) {
  const PowerCase cases[] = {
      {-1, -1, PowerSystemSleeping1, false}, {-1, -1, PowerSystemSleeping3, false},
      {-1, -1, PowerSystemHibernate, false}, {-1, -1, PowerSystemShutdown, true},
      {-1, -1, PowerSystemWorking, true},    {1, 0, PowerSystemSleeping1, true},
      {1, 0, PowerSystemSleeping2, true},    {1, 0, PowerSystemSleeping3, true},
      {1, 0, PowerSystemHibernate, false},   {0, 1, PowerSystemSleeping3, false},
      {0, 1, PowerSystemHibernate, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.standby << "/" << c.hibernate << " S" << (c.state - 1));
    SetDriverParameters(c.standby, c.hibernate);
    Plug();  // the driver reads its settings when it is loaded
    EXPECT_EQ(host_->QuerySystemPower(c.state), c.allowed ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL);
    board_->Unplug();
    host_->WaitIdle();
    ASSERT_TRUE(host_->UnloadDriver("qrtdrv"));
  }
}

TEST_F(DriverFixture, SleepLowersTheDeviceAndTheNextRequestWakesIt) {
  SetDriverParameters(1, 1);
  Plug();
  const std::string id = board_->InstanceId();
  OpenWithEvent();
  ASSERT_EQ(host_->QuerySystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
  ASSERT_EQ(host_->SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
  EXPECT_EQ(host_->DevicePowerState(id), PowerDeviceD2);
  ASSERT_EQ(host_->SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
  EXPECT_EQ(host_->DevicePowerState(id), PowerDeviceD2) << "stays low until a request needs it";
  ULONG_PTR sent = 0;
  EXPECT_EQ(Write(kInfoRequest, &sent), STATUS_SUCCESS);
  EXPECT_EQ(host_->DevicePowerState(id), PowerDeviceD0);
  EXPECT_EQ(Read(100).size(), kInfoReplySize);
}

TEST_F(DriverFixture, StackThatCannotBeBuiltLeavesNoDevice) {
  host_->RefuseAttach(true);
  Plug();
  EXPECT_TRUE(host_->DeviceNames().empty());
  EXPECT_TRUE(host_->EnabledInterfaces(kOsciGuid).empty());
  host_->RefuseAttach(false);
}

}  // namespace
}  // namespace qrtdrv::test
