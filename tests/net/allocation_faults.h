// Out-of-memory on demand for the net tests: this binary's operator new can
// be told to fail allocations of one exact size on threads other than the
// test's own, after a number of them have passed.
#pragma once

#include <cstddef>

namespace net_test {

class FailingAllocations {
 public:
  // Allocations of `size` bytes on other threads: `passing` succeed, every
  // later one throws std::bad_alloc, until this object goes.
  FailingAllocations(size_t size, int passing);
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

}  // namespace net_test
