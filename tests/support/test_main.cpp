// Entry of the Windows test programs: the main thread is a single-threaded
// COM apartment, as the setup's own main thread is.
#include <gtest/gtest.h>

#include "common/handles.h"

int main(int argc, char** argv) {
  vx::ComApartment apartment(COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
