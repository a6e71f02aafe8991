// Owners of platform handles: each closes its handle when it goes out of scope or is reset, so
// no path through a function (an early return, an exception) leaks one.
//
//   kvp::UniqueHandle event(CreateEvent(nullptr, TRUE, FALSE, nullptr));   // CloseHandle
//   kvp::UniqueHKey key;  RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put());
//   kvp::UniqueModule shell(LoadLibrary("Shell32.dll"));                    // FreeLibrary
//
// A handle value of 0 is empty for all three; for UniqueHandle INVALID_HANDLE_VALUE is empty too,
// since file and device opens report failure with it.
#pragma once

#include <platform/module.h>
#include <platform/registry.h>
#include <platform/types.h>

#include <utility>

namespace kvp {

template <class Traits>
class UniqueOwner {
 public:
  using Value = typename Traits::Value;

  UniqueOwner() = default;
  explicit UniqueOwner(Value value) : value_(value) {}
  ~UniqueOwner() { reset(); }
  UniqueOwner(UniqueOwner&& other) noexcept : value_(other.release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;

  Value get() const { return value_; }
  explicit operator bool() const { return !Traits::Empty(value_); }
  // Gives the handle up without closing it.
  Value release() { return std::exchange(value_, Value{}); }
  // Closes the handle held (if any) and takes `value`.
  void reset(Value value = Value{}) {
    const Value old = std::exchange(value_, value);
    if (!Traits::Empty(old)) Traits::Close(old);
  }
  // For functions that hand a new handle out through a pointer: closes the one held first.
  Value* put() {
    reset();
    return &value_;
  }

 private:
  Value value_{};
};

struct HandleTraits {
  using Value = HANDLE;
  static bool Empty(HANDLE h) { return h == 0 || h == INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct HKeyTraits {
  using Value = HKEY;
  static bool Empty(HKEY k) { return k == 0; }
  static void Close(HKEY k) { RegCloseKey(k); }
};
struct ModuleTraits {
  using Value = HMODULE;
  static bool Empty(HMODULE m) { return m == 0; }
  static void Close(HMODULE m) { FreeLibrary(m); }
};

using UniqueHandle = UniqueOwner<HandleTraits>;
using UniqueHKey = UniqueOwner<HKeyTraits>;
using UniqueModule = UniqueOwner<ModuleTraits>;

}  // namespace kvp
