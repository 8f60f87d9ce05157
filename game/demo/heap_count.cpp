// The program's count of C++ heap allocations, for the demo's stats. Linked
// into the vrx program only (not the game library), so the tests keep their
// own allocation counters.
#include <atomic>
#include <cstdlib>
#include <new>

#include "demo/demo.h"

namespace {

std::atomic<unsigned long> gAllocations{0};

unsigned long Count() { return gAllocations.load(std::memory_order_relaxed); }

[[maybe_unused]] const bool gRegistered = (SetHeapAllocationCounter(Count), true);

}  // namespace

void* operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
