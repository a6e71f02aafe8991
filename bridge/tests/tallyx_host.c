/* A host program of the bridge library, written in C: it loads Tallyx by path and runs one command
 * per line from standard input, answering each with one line on standard output. The tests drive
 * it as another program would use the library.
 *
 *   tallyx_host <Tallyx.so> [<zlinksim.so>]
 *
 * Commands: init, close, setall <10 ints>, getall <set>, advprobe <kind>, probeadv, stprobe,
 * advance, speedtemp, dwell, nulls, mapped, unload, knob <name> <value>, exit (without close),
 * quit. */
#define _GNU_SOURCE
#include <tallyx.h>

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int (*InitProc)(void);
typedef int (*SetAllProc)(int, int, int, int, int, int, int, int, int, int);
typedef int (*GetAllProc)(int, int*, uint8_t*, uint8_t*, int*, int16_t*, int16_t*, int*, uint8_t*, int*, uint8_t*);
typedef int (*IntPtrProc)(int*);
typedef int (*ThreeIntProc)(int*, int*, int*);
typedef int (*TwoIntProc)(int*, int*);
typedef int (*AdvanceProc)(int*, double*, int*, int*);
typedef int (*DwellProc)(double*, int*, int*);
typedef int (*KnobProc)(const char*, double);

static void* bridge;

static void* Sym(const char* name) {
  void* p = bridge ? dlsym(bridge, name) : NULL;
  if (!p) {
    printf("missing %s\n", name);
    fflush(stdout);
    exit(3);
  }
  return p;
}

/* 1 when the measurement library is mapped into this process. */
static int Kv310Mapped(void) {
  FILE* maps = fopen("/proc/self/maps", "r");
  char line[4096];
  int found = 0;
  if (!maps) return -1;
  while (fgets(line, sizeof line, maps))
    if (strstr(line, "/Kv310.so")) found = 1;
  fclose(maps);
  return found;
}

int main(int argc, char** argv) {
  char line[512];
  void* zlinksim = NULL;
  KnobProc knob = NULL;
  if (argc < 2) return 2;
  bridge = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!bridge) {
    printf("dlopen %s\n", dlerror());
    return 2;
  }
  if (argc > 2) {
    zlinksim = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    if (zlinksim) knob = (KnobProc)dlsym(zlinksim, "ZlinkSimSet");
  }
  printf("ready\n");
  fflush(stdout);
  while (fgets(line, sizeof line, stdin)) {
    char cmd[32] = "";
    int a[10] = {0};
    double d = 0;
    int n = sscanf(line, "%31s %d %d %d %d %d %d %d %d %d %d", cmd, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6],
                   &a[7], &a[8], &a[9]);
    if (n < 1) continue;
    if (!strcmp(cmd, "init")) {
      printf("%d\n", ((InitProc)Sym("InitKV310DLL"))());
    } else if (!strcmp(cmd, "close")) {
      printf("%d\n", ((InitProc)Sym("CloseKV310DLL"))());
    } else if (!strcmp(cmd, "setall")) {
      printf("%d\n", ((SetAllProc)Sym("SetAllParams"))(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]));
    } else if (!strcmp(cmd, "getall")) {
      int type = -9, speed = -9, pressure = -9, coil = -9;
      uint8_t cyl = 99, stroke = 99, sens = 99, level = 99;
      int16_t marks = -9, offset = -9;
      int rc = ((GetAllProc)Sym("GetAllParams"))(a[0], &type, &cyl, &stroke, &speed, &marks, &offset, &pressure, &sens,
                                                 &coil, &level);
      printf("%d %d %d %d %d %d %d %d %d %d %d\n", rc, type, cyl, stroke, speed, marks, offset, pressure, sens, coil, level);
    } else if (!strcmp(cmd, "advprobe")) {
      printf("%d\n", ((IntPtrProc)Sym("SetAdvanceProbe"))(&a[0]));
    } else if (!strcmp(cmd, "probeadv")) {
      int x = -9, y = -9, z = -9;
      int rc = ((ThreeIntProc)Sym("GetProbeAdvance"))(&x, &y, &z);
      printf("%d %d %d %d\n", rc, x, y, z);
    } else if (!strcmp(cmd, "stprobe")) {
      int x = -9, y = -9;
      int rc = ((TwoIntProc)Sym("GetSpeedAndTempProbe"))(&x, &y);
      printf("%d %d %d\n", rc, x, y);
    } else if (!strcmp(cmd, "advance")) {
      int speed = -9, temp = -9, button = -9;
      double adv = -9;
      int rc = ((AdvanceProc)Sym("GetAdvanceData"))(&speed, &adv, &temp, &button);
      printf("%d %d %.3f %d %d\n", rc, speed, adv, temp, button);
    } else if (!strcmp(cmd, "speedtemp")) {
      int speed = -9, temp = -9;
      int rc = ((TwoIntProc)Sym("GetSpeedAndTemp"))(&speed, &temp);
      printf("%d %d %d\n", rc, speed, temp);
    } else if (!strcmp(cmd, "dwell")) {
      int speed = -9, temp = -9;
      double dwell = -9;
      int rc = ((DwellProc)Sym("GetDwellAngleData"))(&dwell, &speed, &temp);
      printf("%d %.3f %d %d\n", rc, dwell, speed, temp);
    } else if (!strcmp(cmd, "nulls")) {
      int x = 0;
      double y = 0;
      uint8_t b = 0;
      int16_t s = 0;
      printf("%d %d %d %d %d %d %d %d\n", ((IntPtrProc)Sym("SetAdvanceProbe"))(NULL),
             ((ThreeIntProc)Sym("GetProbeAdvance"))(&x, NULL, &x), ((TwoIntProc)Sym("GetSpeedAndTempProbe"))(NULL, &x),
             ((AdvanceProc)Sym("GetAdvanceData"))(&x, &y, NULL, &x), ((TwoIntProc)Sym("GetSpeedAndTemp"))(&x, NULL),
             ((DwellProc)Sym("GetDwellAngleData"))(NULL, &x, &x),
             ((GetAllProc)Sym("GetAllParams"))(0, &x, &b, &b, &x, &s, &s, &x, &b, &x, NULL),
             ((GetAllProc)Sym("GetAllParams"))(0, NULL, &b, &b, &x, &s, &s, &x, &b, &x, &b));
    } else if (!strcmp(cmd, "mapped")) {
      printf("%d\n", Kv310Mapped());
    } else if (!strcmp(cmd, "unload")) {
      int rc = dlclose(bridge);
      bridge = NULL;
      printf("%d %d\n", rc, Kv310Mapped());
    } else if (!strcmp(cmd, "knob")) {
      char name[64] = "";
      if (sscanf(line, "%*s %63s %lf", name, &d) == 2 && knob) {
        printf("%d\n", knob(name, d));
      } else {
        printf("-9\n");
      }
    } else if (!strcmp(cmd, "exit")) {
      fflush(stdout);
      exit(0);
    } else if (!strcmp(cmd, "quit")) {
      break;
    } else {
      printf("unknown\n");
    }
    fflush(stdout);
  }
  (void)zlinksim;
  return 0;
}
