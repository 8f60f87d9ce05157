// The program's count of C++ heap allocations, for the demo's stats. Linked
// into the vrx program only (not the game library), so the tests keep their
// own allocation counters. Under AddressSanitizer the sanitizer's allocator
// stays in charge and nothing is counted: libraries loaded later (the GL
// driver's compiler) would get memory from its operator new and free it
// through ours, which it reports as a mismatch.
#include <atomic>
#include <cstdlib>
#include <new>

#include "demo/demo.h"

#if defined(__SANITIZE_ADDRESS__)
#define VRX_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VRX_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef VRX_COUNT_ALLOCATIONS
#define VRX_COUNT_ALLOCATIONS 1
#endif

#if VRX_COUNT_ALLOCATIONS
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
#endif
