#include <gtest/gtest.h>

#include "engine/external_programs.h"

namespace {

TEST(ExternalProgramRules, LibraryCallSplitsAtTheFirstAt) {
  struct Case {
    const char* exe;
    bool call;
    const char* function;
    const char* library;
  } cases[] = {
      {"Setup@setuplib.dll", true, "Setup", "setuplib.dll"},
      {"Setup@C:\\a@b\\lib.dll", true, "Setup", "C:\\a@b\\lib.dll"},
      {"@lib.dll", true, "", "lib.dll"},
      {"C:\\redist\\setup.exe", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string function, library;
    ASSERT_EQ(SplitLibraryCall(c.exe, &function, &library), c.call) << c.exe;
    EXPECT_EQ(function, c.function);
    EXPECT_EQ(library, c.library);
  }
}

TEST(ExternalProgramRules, ExitCodes) {
  ExecRecord plain;  // {0}
  ExecRecord reboot;
  reboot.ReturnCodes.insert(3010);
  ExecRecord fail_zero;
  fail_zero.ReturnCodes = {1};
  ExecRecord negative;
  negative.ReturnCodes.insert(-1);
  ExecRecord silent;
  silent.SilentFail = true;
  struct Case {
    const ExecRecord* record;
    uint32_t code;
    bool accepted;
  } cases[] = {
      {&plain, 0, true},        {&plain, 3010, false},     {&reboot, 3010, true}, {&reboot, 0, true},
      {&fail_zero, 0, false},   {&fail_zero, 1, true},     {&negative, 0xFFFFFFFFu, true},
      {&plain, 0xFFFFFFFFu, false}, {&silent, 5, true},
  };
  for (const Case& c : cases) EXPECT_EQ(ExitCodeAccepted(*c.record, c.code), c.accepted) << c.code;
}

}  // namespace
