// Counts what the calls inside a TCounting's lifetime allocate, format and
// lock, on every thread of the test program (AllocationCounter.cpp replaces
// the C library's functions for it).
#pragma once

class TCounting {
public:
  TCounting();
  ~TCounting();
  TCounting(const TCounting&) = delete;
  TCounting& operator=(const TCounting&) = delete;

  void Stop();
  long Allocations() const;
  long Formats() const;
  long Locks() const;
};
