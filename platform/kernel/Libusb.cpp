// Loading libusb-1.0 at run time.
#include "Libusb.h"

#include <dlfcn.h>

#include <cstdlib>

namespace kvp::kernel::usb {

namespace {

template <class F>
bool Bind(void* lib, const char* name, F& slot) {
  slot = reinterpret_cast<F>(dlsym(lib, name));
  return slot != nullptr;
}

Api* LoadOnce() {
  if (std::getenv("KV_NO_LIBUSB")) return nullptr;
  void* lib = dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!lib) return nullptr;
  static Api api;
  const bool ok = Bind(lib, "libusb_init", api.init) && Bind(lib, "libusb_exit", api.exit) &&
                  Bind(lib, "libusb_has_capability", api.has_capability) &&
                  Bind(lib, "libusb_error_name", api.error_name) &&
                  Bind(lib, "libusb_get_device_list", api.get_device_list) &&
                  Bind(lib, "libusb_free_device_list", api.free_device_list) &&
                  Bind(lib, "libusb_ref_device", api.ref_device) &&
                  Bind(lib, "libusb_unref_device", api.unref_device) &&
                  Bind(lib, "libusb_get_device_descriptor", api.get_device_descriptor) &&
                  Bind(lib, "libusb_get_bus_number", api.get_bus_number) &&
                  Bind(lib, "libusb_get_port_numbers", api.get_port_numbers) &&
                  Bind(lib, "libusb_get_device_address", api.get_device_address) &&
                  Bind(lib, "libusb_open", api.open) && Bind(lib, "libusb_close", api.close) &&
                  Bind(lib, "libusb_get_configuration", api.get_configuration) &&
                  Bind(lib, "libusb_set_configuration", api.set_configuration) &&
                  Bind(lib, "libusb_claim_interface", api.claim_interface) &&
                  Bind(lib, "libusb_release_interface", api.release_interface) &&
                  Bind(lib, "libusb_clear_halt", api.clear_halt) &&
                  Bind(lib, "libusb_control_transfer", api.control_transfer) &&
                  Bind(lib, "libusb_alloc_transfer", api.alloc_transfer) &&
                  Bind(lib, "libusb_free_transfer", api.free_transfer) &&
                  Bind(lib, "libusb_submit_transfer", api.submit_transfer) &&
                  Bind(lib, "libusb_cancel_transfer", api.cancel_transfer) &&
                  Bind(lib, "libusb_handle_events_timeout_completed", api.handle_events_timeout_completed) &&
                  Bind(lib, "libusb_hotplug_register_callback", api.hotplug_register_callback) &&
                  Bind(lib, "libusb_hotplug_deregister_callback", api.hotplug_deregister_callback);
  if (!ok) {
    dlclose(lib);
    return nullptr;
  }
  Bind(lib, "libusb_interrupt_event_handler", api.interrupt_event_handler);  // optional
  return &api;  // stays loaded: its threads and callbacks live as long as the process
}

}  // namespace

const Api* Load() {
  static const Api* api = LoadOnce();
  return api;
}

const char* ErrorName(int code) {
  const Api* api = Load();
  return api ? api->error_name(code) : "LIBUSB_NOT_LOADED";
}

}  // namespace kvp::kernel::usb
