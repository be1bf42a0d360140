// The setup program's entry with another setup wizard already open: the new
// window closes at its first page set-up without a word and the entry ends
// with exit code 0.
#include <gtest/gtest.h>

#include "common/product.h"
#include "wizard/entry.h"
#include "wizard_test_support.h"

namespace vx {
namespace {

class SetupEntry : public test::WizardTest {};

TEST_F(SetupEntry, SecondCopyEndsSilentlyWithCodeZero) {
  auto first = OpenWizard();
  ASSERT_TRUE(first);
  SetupStart start;
  start.interaction = &script_;  // any box would fail the test
  EXPECT_EQ(SetupVXLite(start), 0);
  EXPECT_TRUE(script_.boxes.empty());
  ASSERT_TRUE(first->IsOpen());
  EXPECT_EQ(FindWindowA(kWizardClassName, nullptr), first->Handle());
  EXPECT_EQ(first->State(), kStateReady);
}

}  // namespace
}  // namespace vx
