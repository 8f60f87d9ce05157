// Torque tables (".trq"), through building and driving the car.
#include "fuzz_car_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Rig();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput(vrxfuzz::Rig().folder + "/Test.trq", data, size);
  vrxfuzz::BuildAndDriveCar();
  return 0;
}
