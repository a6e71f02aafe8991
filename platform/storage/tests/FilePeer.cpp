// A second process for the file tests. Commands:
//   stg-open PATH MODE      opens a compound file with the STGM mode (hex) and prints the HRESULT
//   stg-hold PATH MS        holds PATH open share-exclusive, prints "held", waits MS ms, releases
//   stg-save PATH SLOT N    saves its slot N times as the custom-settings store does, retrying
//                           while the file is held; prints "saved S refused R lost L twice T failed F"
//                           (lost: the slot did not hold what it saved last, and no stream "Created"
//                           says the file was made anew meanwhile; twice: another process held the
//                           file at the same time; failed: an open or Commit failed otherwise)
//   stg-create PATH N       makes the file anew (STGM_CREATE) N times, each with a stream "Created";
//                           prints "made M refused R twice T failed F"
//   cfile-open PATH FLAGS   opens PATH with CFile open flags (hex); prints 1, or 0 and the cause
//   exit CODE               exits with CODE (process start tests)
// Prints one line and exits 0; exit 2 on bad arguments.
#include <platform/afxfile.h>
#include <platform/storage.h>

#include <fcntl.h>
#include <unistd.h>

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
  if (command == "stg-save" && argc == 5) {
    const std::string slot = argv[3];
    const int count = atoi(argv[4]);
    const std::u16string slotName = Wide("Slot_" + slot), noteName = Wide("Note_" + slot);
    // Present only while a process holds the file: a second holder cannot create it again.
    const std::string marker = std::string(argv[2]) + ".holder";
    int saved = 0, refused = 0, lost = 0, twice = 0, failed = 0;
    uint32_t expected = 0;  // what the slot holds unless the file was made anew
    while (saved < count && failed < 100) {
      IStorage* stg = nullptr;
      HRESULT hr = StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg);
      if (hr == STG_E_SHAREVIOLATION) {
        ++refused;
        std::this_thread::yield();
        continue;
      }
      if (FAILED(hr)) {
        ++failed;
        continue;
      }
      const int held = open(marker.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
      if (held < 0) ++twice;
      IStream* s = nullptr;
      if (SUCCEEDED(stg->OpenStream(u"Created", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s))) {
        s->Release();
        stg->DestroyElement(u"Created");
        expected = 0;
      }
      uint32_t value = 0;
      if (SUCCEEDED(stg->OpenStream(slotName.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &s))) {
        s->Read(&value, sizeof value, nullptr);
      } else if (FAILED(stg->CreateStream(slotName.c_str(), STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s))) {
        s = nullptr;
      }
      if (value != expected) ++lost;
      value = ++expected;
      LARGE_INTEGER start{};
      if (!s || FAILED(s->Seek(start, STREAM_SEEK_SET, nullptr)) || FAILED(s->Write(&value, sizeof value, nullptr))) {
        ++failed;
      }
      if (s) s->Release();
      if (FAILED(stg->Commit(STGC_DEFAULT))) ++failed;
      // Still holding the file after its rewrite: a second stream, written at the last release.
      if (SUCCEEDED(stg->CreateStream(noteName.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s))) {
        s->Write(&value, sizeof value, nullptr);
        s->Release();
      }
      if (held >= 0) {
        close(held);
        unlink(marker.c_str());
      }
      stg->Release();
      ++saved;
    }
    printf("saved %d refused %d lost %d twice %d failed %d\n", saved, refused, lost, twice, failed);
    return 0;
  }
  if (command == "stg-create" && argc == 4) {
    const int count = atoi(argv[3]);
    const std::string marker = std::string(argv[2]) + ".holder";
    int made = 0, refused = 0, twice = 0, failed = 0;
    for (int i = 0; i < count && failed < 100; ++i) {
      IStorage* stg = nullptr;
      const HRESULT hr =
          StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg);
      if (hr == STG_E_SHAREVIOLATION) {
        ++refused;
        std::this_thread::yield();
        continue;
      }
      if (FAILED(hr)) {
        ++failed;
        continue;
      }
      const int held = open(marker.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
      if (held < 0) ++twice;
      IStream* s = nullptr;
      if (SUCCEEDED(stg->CreateStream(u"Created", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s))) {
        s->Write("1", 1, nullptr);
        s->Release();
      } else {
        ++failed;
      }
      if (held >= 0) {
        close(held);
        unlink(marker.c_str());
      }
      stg->Release();
      ++made;
    }
    printf("made %d refused %d twice %d failed %d\n", made, refused, twice, failed);
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
