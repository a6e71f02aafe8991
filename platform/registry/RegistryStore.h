// One registry store (the machine's or the user's): a SQLite database shared between processes.
//
// Keys form a tree of rows (id, parent, name); the store's root has id 0 and no row. Names are
// kept as written, for enumeration and export, and folded to upper case for lookup, so that
// "Software\KELO\Kv310" and "SOFTWARE\KELO\KV310" are one key. Every write is one transaction;
// the database runs in WAL mode with full syncs, so a process that dies mid-write leaves the
// previous state, and other processes read while one writes.
//
// Every operation returns a Windows result code. A store whose file is missing reads as empty
// and is created by the first write; a file that is not a store of ours gives ERROR_BADDB and is
// left as it is.
#pragma once

#include <platform/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace kvp::registry {

using KeyId = int64_t;
constexpr KeyId kRootKey = 0;

enum class StoreKind { Machine, User };

struct ValueData {
  std::string name;
  DWORD type = 0;
  std::string bytes;
};

class RegistryStore {
 public:
  static RegistryStore& Of(StoreKind kind);

  // The file this store lives in now (environment variables are read each time).
  std::string Path() const;

  LONG FindKey(KeyId parent, const std::vector<std::string>& path, KeyId& key);
  LONG CreateKey(KeyId parent, const std::vector<std::string>& path, KeyId& key, bool& created);
  // ERROR_SUCCESS, or ERROR_KEY_DELETED for a key removed since it was opened.
  LONG CheckKey(KeyId key);
  // Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some) with its values.
  LONG DeleteKey(KeyId key);

  LONG GetValue(KeyId key, const std::string& name, ValueData& value);
  LONG SetValue(KeyId key, const std::string& name, DWORD type, const std::string& bytes);
  LONG DeleteValue(KeyId key, const std::string& name);

  // Subkeys in the order of their folded names; values in the order they were first set.
  LONG EnumKey(KeyId key, DWORD index, std::string& name);
  LONG EnumValue(KeyId key, DWORD index, ValueData& value);

 private:
  explicit RegistryStore(StoreKind kind) : kind_(kind) {}
  // Opens (or reopens, after a fork or a change of location) the database. With `create` false a
  // missing file gives nullptr with ERROR_SUCCESS: the store reads as empty.
  sqlite3* Open(bool create, LONG& error);
  void Close();
  static void BeforeFork();
  static void AfterFork();
  LONG Fail(int sqliteCode);
  // The steps inside return a negative SQLite code for database failures; this turns it into the
  // Windows code.
  LONG Result(LONG r);

  StoreKind kind_;
  std::mutex lock_;
  sqlite3* db_ = nullptr;
  std::string openPath_;
  int openPid_ = 0;
};

// Folds a name for lookup: ASCII and the Western European letters of the code page to upper case.
std::string FoldName(const std::string& name);

}  // namespace kvp::registry
