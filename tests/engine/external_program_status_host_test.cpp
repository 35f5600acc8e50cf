// The exec status is written by the worker and copied by the progress page
// on its timer; a copy must never see half of a replacement. (Host only:
// the Windows test build has no std::thread.)
#include <gtest/gtest.h>

#include <thread>

#include "engine/external_programs.h"

namespace {

TEST(ExternalProgramStatus, MessageIsReadWholeWhileItChanges) {
  ExecStatus status;
  const WString a(200, u'a'), b(300, u'b');
  status.SetMessage(a);
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) status.SetMessage(i % 2 ? a : b);
  });
  int torn = 0;
  for (int i = 0; i < 20000; ++i) {
    WString seen = status.Message();
    if (seen != a && seen != b) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

TEST(ExternalProgramStatus, PhaseFlag) {
  ExecStatus status;
  status.SetPhase(true);
  EXPECT_TRUE(status.Phase());
  status.SetPhase(false);
  EXPECT_FALSE(status.Phase());
}

}  // namespace
