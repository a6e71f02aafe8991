// What the acquisition engine needs of the recorder's record list while it feeds it: the number of
// records and the raw sample ring of record k. The board reader feeds each switched-on channel
// into the record whose position counts the switched-on channels before it; the engine-tester
// readers feed channel A into the first record.
#pragma once

#include <core/ValueArrays.h>

class IRecordRings {
 public:
  virtual int GetRecordCount() const = 0;
  // The sample ring of record k, null when there is none.
  virtual CNxRoundShortIntArray* GetSampleRing(int k) = 0;

 protected:
  ~IRecordRings() = default;
};
