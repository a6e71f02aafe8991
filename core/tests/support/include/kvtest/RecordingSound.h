// A sound player for tests: it plays nothing and keeps the index of every sound asked for.
#pragma once

#include <core/Sound.h>

#include <vector>

namespace kvtest {

class RecordingSound : public CSound {
 public:
  std::vector<int> played;
  int Play(int index, BOOL, BOOL, BOOL) override {
    played.push_back(index);
    return 1;
  }
};

}  // namespace kvtest
