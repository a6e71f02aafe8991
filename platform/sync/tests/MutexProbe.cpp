// A second process for the named-mutex tests. Prints one line about what it found, then ends
// (create, open) or keeps the mutex until its standard input closes or it is killed (hold).
//   create NAME  ->  "exists=E owned=O"   (O: whether it could have the mutex at once)
//   open NAME    ->  "open=1" | "open=0 error=N"
//   hold NAME    ->  "exists=E owned=O", then waits
#include <platform/sync.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const char* cmd = argv[1];
  const char* name = argv[2];
  if (std::strcmp(cmd, "open") == 0) {
    HANDLE h = OpenMutex(SYNCHRONIZE, FALSE, name);
    if (h)
      std::printf("open=1\n");
    else
      std::printf("open=0 error=%u\n", static_cast<unsigned>(GetLastError()));
    return 0;
  }
  HANDLE h = CreateMutex(nullptr, TRUE, name);
  if (!h) return 3;
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  bool owned = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  std::printf("exists=%d owned=%d\n", existed ? 1 : 0, owned ? 1 : 0);
  std::fflush(stdout);
  if (std::strcmp(cmd, "hold") == 0) {
    char c;
    while (read(0, &c, 1) > 0) {
    }
  }
  return 0;
}
