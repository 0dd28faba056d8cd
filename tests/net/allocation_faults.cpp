#include "allocation_faults.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/windows_api.h"

namespace net_test {
namespace {

std::atomic<size_t> g_failing_size{0};  // 0: nothing fails
std::atomic<int> g_passing{0};
std::atomic<DWORD> g_arming_thread{0};

}  // namespace

FailingAllocations::FailingAllocations(size_t size, int passing) {
  g_passing = passing;
  g_arming_thread = ::GetCurrentThreadId();
  g_failing_size = size;
}

FailingAllocations::~FailingAllocations() { g_failing_size = 0; }

}  // namespace net_test

// Replaces the library's operator new for the whole test binary; the
// library's operator delete frees with free(), which matches.
void* operator new(std::size_t size) {
  using namespace net_test;
  if (size != 0 && size == g_failing_size.load(std::memory_order_relaxed) &&
      ::GetCurrentThreadId() != g_arming_thread.load() && g_passing.fetch_sub(1) <= 0) {
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
