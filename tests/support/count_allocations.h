// Counts the C++ heap allocations this thread makes while g_countAllocations
// is on, by replacing the test program's global operator new. Include it in
// one source file of a test program only.
//
// Under AddressSanitizer nothing is replaced and nothing counted
// (kAllocationsCounted is false): libraries loaded later (the GL driver's
// compiler) would get memory from the sanitizer's operator new and free it
// through ours, which the sanitizer rightly reports. The plain build counts.
#pragma once

#include <cstdlib>
#include <new>

#include "test_support.h"

#define VRX_COUNT_ALLOCATIONS (!VRX_TEST_UNDER_ASAN)

constexpr bool kAllocationsCounted = VRX_COUNT_ALLOCATIONS != 0;
thread_local bool g_countAllocations = false;
thread_local int g_allocations = 0;

#if VRX_COUNT_ALLOCATIONS
// Out of line, so that the compiler does not pair an inlined free with the
// allocation of its caller.
__attribute__((noinline)) void* operator new(std::size_t n) {
  if (g_countAllocations) ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void* operator new[](std::size_t n) {
  if (g_countAllocations) ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_countAllocations) ++g_allocations;
  return std::malloc(n ? n : 1);
}
__attribute__((noinline)) void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  if (g_countAllocations) ++g_allocations;
  return std::malloc(n ? n : 1);
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif
