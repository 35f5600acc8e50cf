// The exec status is written by the worker and copied by the progress page
// on its timer; a copy must never see half of a replacement. (Host only:
// the Windows test build has no std::thread.)
#include <gtest/gtest.h>

#include <thread>

#include "engine/external_programs.h"

namespace {

TEST(ExternalProgramStatus, MessageIsReadWholeWhileItChanges) {
  const WString a(200, u'a'), b(300, u'b');
  SetExecMessage(a);
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) SetExecMessage(i % 2 ? a : b);
  });
  int torn = 0;
  for (int i = 0; i < 20000; ++i) {
    WString seen = ExecMessage();
    if (seen != a && seen != b) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

TEST(ExternalProgramStatus, PhaseFlag) {
  SetExecPhase(true);
  EXPECT_TRUE(IsExecPhase());
  SetExecPhase(false);
  EXPECT_FALSE(IsExecPhase());
}

}  // namespace
