// The mocked board: sysfs and node in a umockdev test bed, usbdevfs requests answered by the
// simulated board.
#include "UmockdevBoard.h"

#include <platform/kernel/KernelHost.h>

#include <umockdev.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <linux/usbdevice_fs.h>
#include <mutex>
#include <sys/ioctl.h>

namespace {
constexpr const char* kNode = "/dev/bus/usb/001/002";
}  // namespace

namespace usbmock {

struct UmockdevBoard::Impl {
  // One submitted request block: the client's copy and, for bulk, the board's transfer.
  struct Urb {
    UMockdevIoctlData* data = nullptr;  // the usbdevfs_urb, resolved with its buffer
    std::shared_ptr<kvp::kernel::SimUsbTransfer> transfer;
  };

  sim::BoardModel& model;
  // The board sits on a bus of its own that no driver serves; the mocked device is its wire.
  std::unique_ptr<kvp::kernel::KernelHost> wire;
  std::shared_ptr<sim::UsbBoard> board;
  UMockdevTestbed* testbed = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  std::string syspath;

  std::mutex mu;
  std::condition_variable cv;
  std::deque<UMockdevIoctlData*> reapable;  // ended, each holding a reference
  std::vector<std::shared_ptr<Urb>> pending;
  bool present = false;

  explicit Impl(sim::BoardModel& m) : model(m) {}

  std::string Node() const {  // the device node inside the test bed
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    std::string path = std::string(root) + kNode;
    g_free(root);
    return path;
  }

  void Ended(const std::shared_ptr<Urb>& urb, int status, size_t bytes) {
    std::lock_guard lock(mu);
    auto* u = reinterpret_cast<usbdevfs_urb*>(urb->data->data);
    u->status = status;
    u->actual_length = static_cast<int>(bytes);
    std::erase(pending, urb);
    reapable.push_back(urb->data);
    cv.notify_all();
  }

  void Control(UMockdevIoctlData* data, usbdevfs_urb* u, uint8_t* buffer) {
    const uint8_t type = buffer[0], request = buffer[1];
    const uint16_t value = static_cast<uint16_t>(buffer[2] | (buffer[3] << 8));
    const uint16_t index = static_cast<uint16_t>(buffer[4] | (buffer[5] << 8));
    const uint16_t length = static_cast<uint16_t>(buffer[6] | (buffer[7] << 8));
    int status = 0;
    size_t bytes = 0;
    if (type == 0x80 && request == 6) {
      std::vector<uint8_t> out;
      const bool ok = (value >> 8) == 1   ? board->DeviceDescriptor(out)
                      : (value >> 8) == 2 ? board->ConfigurationDescriptor(static_cast<uint8_t>(value), out)
                                          : false;
      if (ok) {
        bytes = std::min<size_t>({out.size(), length, static_cast<size_t>(u->buffer_length - 8)});
        std::memcpy(buffer + 8, out.data(), bytes);
      } else {
        status = -EPIPE;
      }
    } else if (type == 0x01 && (request == 1 || request == 3)) {
      if (!NT_SUCCESS(board->InterfaceFeature(request == 3, value, index))) status = -EPIPE;
    } else if (type == 0x02 && request == 1 && value == 0) {
      board->ResetPipe(static_cast<uint8_t>(index));
    }
    u->status = status;
    u->actual_length = static_cast<int>(bytes);
    std::lock_guard lock(mu);
    reapable.push_back(static_cast<UMockdevIoctlData*>(g_object_ref(data)));
    cv.notify_all();
  }

  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* u = reinterpret_cast<usbdevfs_urb*>(data->data);
    const size_t length = u->buffer_length > 0 ? static_cast<size_t>(u->buffer_length) : 0;
    UMockdevIoctlData* buffer =
        length ? umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer), length, nullptr) : nullptr;
    if (u->type == USBDEVFS_URB_TYPE_CONTROL) {
      if (!buffer || u->buffer_length < 8) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
      }
      Control(data, u, buffer->data);
      umockdev_ioctl_client_complete(client, 0, 0);
      return;
    }
    auto urb = std::make_shared<Urb>();
    urb->data = static_cast<UMockdevIoctlData*>(g_object_ref(data));
    urb->transfer = std::make_shared<kvp::kernel::SimUsbTransfer>(
        u->endpoint, buffer ? buffer->data : nullptr, buffer ? static_cast<size_t>(u->buffer_length) : 0,
        [this, weak = std::weak_ptr<Urb>(urb)](NTSTATUS status, size_t bytes) {
          if (auto urb = weak.lock())
            Ended(urb, NT_SUCCESS(status) ? 0 : status == STATUS_DEVICE_NOT_CONNECTED ? -ESHUTDOWN : -EPIPE, bytes);
        });
    {
      std::lock_guard lock(mu);
      pending.push_back(urb);
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    board->Submit(urb->transfer);
  }

  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const gulong address = *reinterpret_cast<gulong*>(arg->data);
    std::shared_ptr<Urb> urb;
    {
      std::lock_guard lock(mu);
      for (auto& p : pending)
        if (p->data->client_addr == address) urb = p;
    }
    if (!urb) {
      umockdev_ioctl_client_complete(client, -1, EINVAL);
      return;
    }
    board->Cancel(urb->transfer);
    if (!urb->transfer->Claim()) {  // the board is ending it right now
      umockdev_ioctl_client_complete(client, -1, EINVAL);
      return;
    }
    Ended(urb, -ENOENT, 0);
    umockdev_ioctl_client_complete(client, 0, 0);
  }

  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = nullptr;
    bool gone = false;
    {
      std::unique_lock lock(mu);
      // A short wait keeps libusb's event loop (which always finds the node writable) from spinning.
      cv.wait_for(lock, std::chrono::milliseconds(2), [&] { return !reapable.empty() || !present; });
      if (!reapable.empty()) {
        data = reapable.front();
        reapable.pop_front();
      }
      gone = !present;
    }
    if (!data) {
      umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
      return;
    }
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, data);
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, 0, 0);
  }

  static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto* self = static_cast<Impl*>(user);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
      self->Reap(client, arg);
      return TRUE;
    }
    {
      std::lock_guard lock(self->mu);
      if (!self->present) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
      }
    }
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        std::memcpy(caps->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_SUBMITURB:
        self->Submit(client, arg);
        return TRUE;
      case USBDEVFS_DISCARDURB:
        self->Discard(client, arg);
        return TRUE;
      case USBDEVFS_CLEAR_HALT: {
        UMockdevIoctlData* ep = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
        self->board->ResetPipe(static_cast<uint8_t>(*reinterpret_cast<unsigned int*>(ep->data)));
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_GETDRIVER:
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return TRUE;
      default:  // configuration, claim and release: accepted
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
  }
};

std::string UmockdevBoard::Unavailable() {
  const char* preload = std::getenv("LD_PRELOAD");
  if (!preload || !std::strstr(preload, "libumockdev-preload")) return "not run with umockdev's preload library";
  return {};
}

UmockdevBoard::UmockdevBoard(sim::BoardModel& model) : impl_(std::make_unique<Impl>(model)) {
  Impl& s = *impl_;
  s.wire = std::make_unique<kvp::kernel::KernelHost>();
  s.board = std::make_shared<sim::UsbBoard>(model);
  s.testbed = umockdev_testbed_new();
  s.handler = umockdev_ioctl_base_new();
  g_signal_connect(s.handler, "handle-ioctl", G_CALLBACK(Impl::OnIoctl), &s);
  umockdev_testbed_attach_ioctl(s.testbed, kNode, s.handler, nullptr);
}

UmockdevBoard::~UmockdevBoard() {
  Unplug();
  Impl& s = *impl_;
  umockdev_testbed_detach_ioctl(s.testbed, kNode, nullptr);
  g_object_unref(s.handler);
  g_object_unref(s.testbed);
  for (auto* d : s.reapable) g_object_unref(d);
  s.board.reset();
  s.wire.reset();
}

void UmockdevBoard::Plug() {
  Impl& s = *impl_;
  if (!s.syspath.empty()) return;
  s.board->Plug(*s.wire);
  s.wire->WaitIdle();
  std::vector<uint8_t> descriptors, config;
  s.board->DeviceDescriptor(descriptors);
  s.board->ConfigurationDescriptor(0, config);
  descriptors.insert(descriptors.end(), config.begin(), config.end());
  gchar* path = umockdev_testbed_add_device(
      s.testbed, "usb", "usb1-1", nullptr,
      // attributes
      "dev", "189:1", "busnum", "1\n", "devnum", "2\n", "speed", "12\n", "bConfigurationValue", "1\n",
      "idVendor", "2f91\n", "idProduct", "0006\n", nullptr,
      // properties
      "BUSNUM", "001", "DEVNUM", "002", "DEVNAME", kNode, "DEVTYPE", "usb_device", "ID_VENDOR_ID", "2f91",
      "ID_MODEL_ID", "0006", nullptr);
  s.syspath = path;
  g_free(path);
  umockdev_testbed_set_attribute_binary(s.testbed, s.syspath.c_str(), "descriptors", descriptors.data(),
                                        descriptors.size());
  const std::filesystem::path node = s.Node();
  std::filesystem::create_directories(node.parent_path());
  std::ofstream{node};
  {
    std::lock_guard lock(s.mu);
    s.present = true;
  }
  umockdev_testbed_uevent(s.testbed, s.syspath.c_str(), "add");
}

void UmockdevBoard::Unplug() {
  Impl& s = *impl_;
  if (s.syspath.empty()) return;
  {
    std::lock_guard lock(s.mu);
    s.present = false;
    s.cv.notify_all();
  }
  s.board->Unplug();  // its pending transfers end as gone
  s.wire->WaitIdle();
  umockdev_testbed_uevent(s.testbed, s.syspath.c_str(), "remove");
  std::filesystem::remove(s.Node());
  umockdev_testbed_remove_device(s.testbed, s.syspath.c_str());
  s.syspath.clear();
}

void UmockdevBoard::RefuseOpen(bool refuse) { RefuseOpenOf(refuse ? kNode : nullptr); }

sim::UsbBoard& UmockdevBoard::Board() { return *impl_->board; }

size_t UmockdevBoard::PendingTransfers() {
  std::lock_guard lock(impl_->mu);
  return impl_->pending.size();
}

}  // namespace usbmock
