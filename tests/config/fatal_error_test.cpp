// The fatal error message box: expanded caption and text, nothing expanded
// when silent, and message boxes whose own caption raises a fatal error
// again. (The driver's handler and its aborted flag: tests/driver.)
#include <gtest/gtest.h>

#include "config/expand.h"
#include "base/fatal_error.h"
#include "tests/config/config_test_support.h"

namespace {

class FatalErrorTest : public configtest::ConfigTest {};

// Silent: the message is neither shown nor expanded, so a command in it does
// not run.
TEST_F(FatalErrorTest, SilentDoesNotExpand) {
  ShowFatalError(u"#Fail nested");
  EXPECT_EQ(fatalMessages_, (std::vector<std::string>{"#Fail nested"}));
}

#ifndef _WIN32
// Host only: a shown message box would wait for a user under Wine. The host
// side of the message box writes to standard error.
TEST_F(FatalErrorTest, ShownMessageIsExpanded) {
  shown_ = true;
  Set("FATAL_POPUP_TITLE", "%GameName% Error");
  Set("GameName", "Example Game");
  testing::internal::CaptureStderr();
  ShowFatalError(u"Cannot install %GameName% (100%%)");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[Example Game Error] Cannot install Example Game (100%)\n");
}

TEST_F(FatalErrorTest, CaptionThatFailsEveryTimeEnds) {
  shown_ = true;
  Set("FATAL_POPUP_TITLE", "#Bogus");
  testing::internal::CaptureStderr();
  ShowFatalError(u"outer");
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(fatalMessages_.size(), 5u);
  EXPECT_EQ(fatalMessages_[0], "outer");
  EXPECT_EQ(fatalMessages_[4], "Invalid define command: 'Bogus'");
}

TEST_F(FatalErrorTest, FailInsideAShownMessageIsShownToo) {
  shown_ = true;
  testing::internal::CaptureStderr();
  ShowFatalError(u"#Fail inner | unused");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[] inner\n[] \n");
  EXPECT_EQ(fatalMessages_, (std::vector<std::string>{"#Fail inner | unused", "inner"}));
}
#endif

}  // namespace
