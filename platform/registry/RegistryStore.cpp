#include "RegistryStore.h"

#include <pthread.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kvp::registry {

namespace {

constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name BLOB NOT NULL,"
    "  folded BLOB NOT NULL,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  key INTEGER NOT NULL,"
    "  name BLOB NOT NULL,"
    "  folded BLOB NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, folded));";

// A prepared statement; the destructor finalizes it.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& Bind(int i, int64_t v) {
    if (ok()) rc_ = sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Stmt& Bind(int i, const std::string& bytes) {
    if (!ok()) return *this;
    rc_ = bytes.empty() ? sqlite3_bind_zeroblob(stmt_, i, 0)
                        : sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() {
    if (!ok()) return rc_;
    rc_ = sqlite3_step(stmt_);
    return rc_;
  }
  int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  std::string Bytes(int col) const {
    const void* p = sqlite3_column_blob(stmt_, col);
    const int n = sqlite3_column_bytes(stmt_, col);
    return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
  }
  int rc() const { return rc_; }

 private:
  bool ok() const { return rc_ == SQLITE_OK || rc_ == SQLITE_ROW || rc_ == SQLITE_DONE; }
  sqlite3_stmt* stmt_ = nullptr;
  int rc_;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) { rc_ = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); }
  ~Transaction() {
    if (rc_ == SQLITE_OK && !done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  int rc() const { return rc_; }
  int Commit() {
    done_ = true;
    return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* db_;
  int rc_;
  bool done_ = false;
};

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = getenv(name);
  return v && v[0] ? std::string(v) : fallback;
}

std::string Home() { return EnvOr("HOME", "/tmp"); }

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool MakeFolders(const std::string& filePath) {
  for (size_t slash = filePath.find('/', 1); slash != std::string::npos; slash = filePath.find('/', slash + 1)) {
    const std::string dir = filePath.substr(0, slash);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

LONG StepError(int rc) {
  switch (rc) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
      return ERROR_BADDB;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_SHARING_VIOLATION;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    case SQLITE_FULL:
    case SQLITE_IOERR:
      return ERROR_CANTWRITE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace

std::string FoldName(const std::string& name) {
  std::string folded = name;
  for (char& ch : folded) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') ch = static_cast<char>(c - 0x20);
    else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) ch = static_cast<char>(c - 0x20);
    else if (c == 0x9A || c == 0x9C || c == 0x9E) ch = static_cast<char>(c - 0x10);
    else if (c == 0xFF) ch = static_cast<char>(0x9F);
  }
  return folded;
}

RegistryStore& RegistryStore::Of(StoreKind kind) {
  // Never destroyed: other modules' static destructors may still use the registry.
  static RegistryStore* machine = new RegistryStore(StoreKind::Machine);
  static RegistryStore* user = new RegistryStore(StoreKind::User);
  static const bool forkSafe = [] {
    pthread_atfork(&RegistryStore::BeforeFork, &RegistryStore::AfterFork, &RegistryStore::AfterFork);
    return true;
  }();
  (void)forkSafe;
  return kind == StoreKind::Machine ? *machine : *user;
}

// A database connection must not cross fork(): SQLite keeps per-process lock state that the child
// would inherit without the locks themselves. The connections are closed before the fork (with no
// operation in flight) and opened again by the next operation, in the parent and in the child.
void RegistryStore::BeforeFork() {
  for (RegistryStore* store : {&Of(StoreKind::Machine), &Of(StoreKind::User)}) {
    store->lock_.lock();
    store->Close();
  }
}

void RegistryStore::AfterFork() {
  for (RegistryStore* store : {&Of(StoreKind::User), &Of(StoreKind::Machine)}) store->lock_.unlock();
}

std::string RegistryStore::Path() const {
  if (kind_ == StoreKind::Machine)
    return EnvOr("KV_REGISTRY_MACHINE", EnvOr("XDG_DATA_HOME", Home() + "/.local/share") + "/kv310/registry/machine.db");
  return EnvOr("KV_REGISTRY_USER", EnvOr("XDG_CONFIG_HOME", Home() + "/.config") + "/kv310/registry/user.db");
}

void RegistryStore::Close() {
  // A connection that came through a fork anyway (a fork by raw syscall) belongs to the parent:
  // it is dropped, never closed here.
  if (db_ && openPid_ == getpid()) sqlite3_close_v2(db_);
  db_ = nullptr;
  openPath_.clear();
}

LONG RegistryStore::Result(LONG r) { return r < 0 ? Fail(static_cast<int>(-r)) : r; }

LONG RegistryStore::Fail(int sqliteCode) {
  const LONG error = StepError(sqliteCode);
  // After damage is found, reopen next time (the file may have been replaced meanwhile).
  if (error == ERROR_BADDB) Close();
  return error;
}

sqlite3* RegistryStore::Open(bool create, LONG& error) {
  error = ERROR_SUCCESS;
  const std::string path = Path();
  if (db_ && (path != openPath_ || openPid_ != getpid())) Close();
  if (db_) return db_;
  if (!FileExists(path)) {
    if (!create) return nullptr;
    if (!MakeFolders(path)) {
      error = ERROR_CANTOPEN;
      return nullptr;
    }
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    error = ERROR_CANTOPEN;
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);

  // Recognise the file before anything is written to it: a foreign or damaged file stays as it is.
  int64_t version = -1, tables = -1;
  {
    Stmt v(db, "PRAGMA user_version");
    if ((rc = v.Step()) == SQLITE_ROW) version = v.Int(0);
  }
  if (rc == SQLITE_ROW) {
    Stmt t(db, "SELECT count(*) FROM sqlite_master");
    if ((rc = t.Step()) == SQLITE_ROW) tables = t.Int(0);
  }
  if (rc != SQLITE_ROW || version > kSchemaVersion || (version == 0 && tables != 0)) {
    sqlite3_close_v2(db);
    error = rc != SQLITE_ROW ? StepError(rc) : ERROR_BADDB;
    return nullptr;
  }
  if (version == 0) {
    rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
      Transaction tx(db);
      rc = tx.rc();
      if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA user_version=1", nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK) rc = tx.Commit();
    }
    if (rc != SQLITE_OK) {
      sqlite3_close_v2(db);
      error = StepError(rc);
      return nullptr;
    }
  }
  sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
  db_ = db;
  openPath_ = path;
  openPid_ = getpid();
  return db_;
}

namespace {

// Looks up one child key; ERROR_FILE_NOT_FOUND when absent.
LONG FindChild(sqlite3* db, KeyId parent, const std::string& name, KeyId& child) {
  Stmt s(db, "SELECT id FROM reg_keys WHERE parent=? AND folded=?");
  s.Bind(1, parent).Bind(2, FoldName(name));
  const int rc = s.Step();
  if (rc == SQLITE_ROW) {
    child = s.Int(0);
    return ERROR_SUCCESS;
  }
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : -rc;
}

LONG KeyExists(sqlite3* db, KeyId key) {
  if (key == kRootKey) return ERROR_SUCCESS;
  Stmt s(db, "SELECT 1 FROM reg_keys WHERE id=?");
  s.Bind(1, key);
  const int rc = s.Step();
  return rc == SQLITE_ROW ? ERROR_SUCCESS : rc == SQLITE_DONE ? ERROR_KEY_DELETED : -rc;
}

}  // namespace

LONG RegistryStore::FindKey(KeyId parent, const std::vector<std::string>& path, KeyId& key) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : path.empty() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  return Result([&]() -> LONG {
    if (const LONG r = KeyExists(db, parent); r != ERROR_SUCCESS) return r;
    key = parent;
    for (const std::string& part : path) {
      if (const LONG r = FindChild(db, key, part, key); r != ERROR_SUCCESS) return r;
    }
    return ERROR_SUCCESS;
  }());
}

LONG RegistryStore::CreateKey(KeyId parent, const std::vector<std::string>& path, KeyId& key, bool& created) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(true, error);
  if (!db) return error;
  return Result([&]() -> LONG {
    Transaction tx(db);
    if (tx.rc() != SQLITE_OK) return -tx.rc();
    if (const LONG r = KeyExists(db, parent); r != ERROR_SUCCESS) return r;
    key = parent;
    created = false;
    for (const std::string& part : path) {
      const LONG r = FindChild(db, key, part, key);
      if (r == ERROR_SUCCESS) {
        created = false;
        continue;
      }
      if (r != ERROR_FILE_NOT_FOUND) return r;
      Stmt insert(db, "INSERT INTO reg_keys(parent, name, folded) VALUES(?,?,?)");
      insert.Bind(1, key).Bind(2, part).Bind(3, FoldName(part));
      if (insert.Step() != SQLITE_DONE) return -insert.rc();
      key = sqlite3_last_insert_rowid(db);
      created = true;
    }
    const int rc = tx.Commit();
    return rc == SQLITE_OK ? ERROR_SUCCESS : -rc;
  }());
}

LONG RegistryStore::CheckKey(KeyId key) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : key == kRootKey ? ERROR_SUCCESS : ERROR_KEY_DELETED;
  return Result(KeyExists(db, key));
}

LONG RegistryStore::DeleteKey(KeyId key) {
  if (key == kRootKey) return ERROR_ACCESS_DENIED;
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : ERROR_FILE_NOT_FOUND;
  return Result([&]() -> LONG {
    Transaction tx(db);
    if (tx.rc() != SQLITE_OK) return -tx.rc();
    if (const LONG r = KeyExists(db, key); r != ERROR_SUCCESS) return r == ERROR_KEY_DELETED ? ERROR_FILE_NOT_FOUND : r;
    Stmt children(db, "SELECT 1 FROM reg_keys WHERE parent=? LIMIT 1");
    children.Bind(1, key);
    const int rc = children.Step();
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return -rc;
    Stmt values(db, "DELETE FROM reg_values WHERE key=?");
    if (values.Bind(1, key).Step() != SQLITE_DONE) return -values.rc();
    Stmt row(db, "DELETE FROM reg_keys WHERE id=?");
    if (row.Bind(1, key).Step() != SQLITE_DONE) return -row.rc();
    const int commit = tx.Commit();
    return commit == SQLITE_OK ? ERROR_SUCCESS : -commit;
  }());
}

LONG RegistryStore::GetValue(KeyId key, const std::string& name, ValueData& value) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : key == kRootKey ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  return Result([&]() -> LONG {
    if (const LONG r = KeyExists(db, key); r != ERROR_SUCCESS) return r;
    Stmt s(db, "SELECT name, type, data FROM reg_values WHERE key=? AND folded=?");
    s.Bind(1, key).Bind(2, FoldName(name));
    const int rc = s.Step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return -rc;
    value = ValueData{s.Bytes(0), static_cast<DWORD>(s.Int(1)), s.Bytes(2)};
    return ERROR_SUCCESS;
  }());
}

LONG RegistryStore::SetValue(KeyId key, const std::string& name, DWORD type, const std::string& bytes) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(true, error);
  if (!db) return error;
  return Result([&]() -> LONG {
    Transaction tx(db);
    if (tx.rc() != SQLITE_OK) return -tx.rc();
    if (const LONG r = KeyExists(db, key); r != ERROR_SUCCESS) return r;
    // An existing value keeps its spelling and its place in the enumeration order.
    Stmt s(db,
           "INSERT INTO reg_values(key, name, folded, type, data) VALUES(?,?,?,?,?) "
           "ON CONFLICT(key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
    s.Bind(1, key).Bind(2, name).Bind(3, FoldName(name)).Bind(4, static_cast<int64_t>(type)).Bind(5, bytes);
    if (s.Step() != SQLITE_DONE) return -s.rc();
    const int rc = tx.Commit();
    return rc == SQLITE_OK ? ERROR_SUCCESS : -rc;
  }());
}

LONG RegistryStore::DeleteValue(KeyId key, const std::string& name) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : key == kRootKey ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  return Result([&]() -> LONG {
    Transaction tx(db);
    if (tx.rc() != SQLITE_OK) return -tx.rc();
    if (const LONG r = KeyExists(db, key); r != ERROR_SUCCESS) return r;
    Stmt s(db, "DELETE FROM reg_values WHERE key=? AND folded=?");
    s.Bind(1, key).Bind(2, FoldName(name));
    if (s.Step() != SQLITE_DONE) return -s.rc();
    if (sqlite3_changes(db) == 0) return ERROR_FILE_NOT_FOUND;
    const int rc = tx.Commit();
    return rc == SQLITE_OK ? ERROR_SUCCESS : -rc;
  }());
}

LONG RegistryStore::EnumKey(KeyId key, DWORD index, std::string& name) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : key == kRootKey ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
  return Result([&]() -> LONG {
    if (const LONG r = KeyExists(db, key); r != ERROR_SUCCESS) return r;
    Stmt s(db, "SELECT name FROM reg_keys WHERE parent=? ORDER BY folded LIMIT 1 OFFSET ?");
    s.Bind(1, key).Bind(2, static_cast<int64_t>(index));
    const int rc = s.Step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return -rc;
    name = s.Bytes(0);
    return ERROR_SUCCESS;
  }());
}

LONG RegistryStore::EnumValue(KeyId key, DWORD index, ValueData& value) {
  std::lock_guard guard(lock_);
  LONG error;
  sqlite3* db = Open(false, error);
  if (!db) return error != ERROR_SUCCESS ? error : key == kRootKey ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
  return Result([&]() -> LONG {
    if (const LONG r = KeyExists(db, key); r != ERROR_SUCCESS) return r;
    Stmt s(db, "SELECT name, type, data FROM reg_values WHERE key=? ORDER BY id LIMIT 1 OFFSET ?");
    s.Bind(1, key).Bind(2, static_cast<int64_t>(index));
    const int rc = s.Step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return -rc;
    value = ValueData{s.Bytes(0), static_cast<DWORD>(s.Int(1)), s.Bytes(2)};
    return ERROR_SUCCESS;
  }());
}

}  // namespace kvp::registry
