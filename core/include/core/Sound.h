// The program's three sounds, played from its own resources (148, 149 and 155; the program holds
// no resource 155, so that slot plays the system's default sound when allowed).
#pragma once

#include <platform/types.h>

class CSound {
 public:
  enum { COUNT = 3 };

  CSound();
  virtual ~CSound() = default;
  // 0 for an index above 2 or an empty slot, else 1 (also when nothing could be played).
  virtual int Play(int index, BOOL loop, BOOL async, BOOL allowDefault);
  // Stops any sound of the process.
  virtual void Stop();

  int m_nIds[COUNT] = {148, 149, 155};
};

CSound& GetSound();
