// Keyboard and cursor state installed by tests (platform/testing.h). Internal.
#pragma once

#include "platform/types.h"

struct FakeInput {
  bool on = false;
  BYTE keys[256] = {};
  POINT cursor = {0, 0};
};

FakeInput& TheFakeInput();
