// The unit tests run inside one process that stands in for a loaded library:
// the skin module exists for the whole run, as it does between load and unload.
#include "editor/EffDataModule.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  CreateEffectDataModule();
  const int result = RUN_ALL_TESTS();
  DestroyEffectDataModule();
  return result;
}
