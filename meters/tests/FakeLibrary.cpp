#include "FakeLibrary.h"

namespace fake {
// The stand-ins log through one control; this program has its own.
FakeControl& Control() {
  static FakeControl control;
  return control;
}
}  // namespace fake
