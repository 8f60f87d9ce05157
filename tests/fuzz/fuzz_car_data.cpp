// Car data files (".cdf"), through the menu's car preview (drawn on its
// turntable) and through building and driving the car.
#include "car/cCarPreview.h"
#include "fuzz_car_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Rig();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput(vrxfuzz::Rig().folder + "/Test.cdf", data, size);
  {
    cCarPreview preview(vrxfuzz::Rig().base.c_str(), vrxfuzz::Screen());
    preview.Draw(nullptr, nullptr);
  }
  vrxfuzz::BuildAndDriveCar();
  return 0;
}
