// A second process for the file tests. Commands:
//   stg-open PATH MODE      opens a compound file with the STGM mode (hex) and prints the HRESULT
//   stg-hold PATH MS        holds PATH open share-exclusive, prints "held", waits MS ms, releases
//   cfile-open PATH FLAGS   opens PATH with CFile open flags (hex); prints 1, or 0 and the cause
//   exit CODE               exits with CODE (process start tests)
// Prints one line and exits 0; exit 2 on bad arguments.
#include <platform/afxfile.h>
#include <platform/storage.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::u16string Wide(const std::string& s) {
  std::u16string out;
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, out.data(), n);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "exit") return atoi(argv[2]);
  if (argc < 4) return 2;
  const std::string command = argv[1];
  const std::u16string path = Wide(argv[2]);
  if (command == "stg-open") {
    IStorage* storage = nullptr;
    HRESULT hr = StgOpenStorage(path.c_str(), nullptr, static_cast<DWORD>(strtoul(argv[3], nullptr, 16)), nullptr, 0,
                                &storage);
    if (storage) storage->Release();
    printf("%08X\n", static_cast<unsigned>(hr));
    return 0;
  }
  if (command == "stg-hold") {
    IStorage* storage = nullptr;
    HRESULT hr = StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage);
    printf("%s\n", SUCCEEDED(hr) ? "held" : "failed");
    fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(atoi(argv[3])));
    if (storage) storage->Release();
    return 0;
  }
  if (command == "cfile-open") {
    CFile file;
    CFileException error;
    if (file.Open(argv[2], static_cast<UINT>(strtoul(argv[3], nullptr, 16)), &error)) {
      printf("1\n");
    } else {
      printf("0 %d\n", error.m_cause);
    }
    return 0;
  }
  return 2;
}
