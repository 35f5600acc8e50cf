// Programs and library functions run by the install worker, with the test
// programs exit_code.exe and touch_library.dll built beside this test.
#include "engine/external_programs.h"

#include <ddeml.h>

#include <cstdlib>

#include "engine/actions_test_fixture.h"
#include "support/test_support.h"

namespace {

ExecRecord Record(const std::string& exe, const std::string& params = "", bool silent_fail = false) {
  ExecRecord r;
  r.Exe = exe;
  r.Params = params;
  r.SilentFail = silent_fail;
  return r;
}

int TouchCalls() {
  char count[32] = {};
  GetEnvironmentVariableA("TOUCH_LIBRARY_CALLS", count, sizeof count);
  return std::atoi(count);
}

class ProgramStep : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    SetVariable("Bin", testsupport::BinDir());
    SetVariable("Scratch", dir_.path());
    SetVariable("INSTALLING_PREREQ_MESSAGE", "Installing prerequisites...");
  }
  testsupport::ScratchDir dir_;
};

TEST_F(ProgramStep, ExitCodesAgainstReturnCodes) {
  ExecRecord reboot = Record("%Bin%\\exit_code.exe", "3010");
  reboot.ReturnCodes.insert(3010);
  EXPECT_TRUE(RunExecList({reboot}));

  // Refused without the code: false, and no message.
  ::Run().overallPercent = 55;
  EXPECT_FALSE(RunExecList({Record("%Bin%\\exit_code.exe", "3010")}));
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(IsExecPhase());
  EXPECT_EQ(::Run().overallPercent.load(), 55);  // only a finished list resets it

  EXPECT_TRUE(RunExecList({Record("%Bin%\\exit_code.exe", "3010", true)}));
  EXPECT_EQ(::Run().overallPercent.load(), 0);

  ExecRecord fail_zero = Record("%Bin%\\exit_code.exe", "0");
  fail_zero.ReturnCodes = {1};
  EXPECT_FALSE(RunExecList({fail_zero}));
  ExecRecord negative = Record("%Bin%\\exit_code.exe", "-2");
  negative.ReturnCodes.insert(-2);
  EXPECT_TRUE(RunExecList({negative}));
}

TEST_F(ProgramStep, RefusedProgramEndsTheList) {
  std::string marker = dir_.file("second.txt");
  EXPECT_FALSE(RunExecList({Record("%Bin%\\exit_code.exe", "1"),
                            Record("%Bin%\\exit_code.exe", "0 0 \"%Scratch%\\second.txt\"")}));
  EXPECT_FALSE(FileExists(marker));
}

TEST_F(ProgramStep, ParametersAndWorkingFolderReachTheProgram) {
  ExecRecord r = Record("%Bin%\\exit_code.exe", "0 0 marker.txt");
  r.Directory = "%Scratch%";
  ASSERT_TRUE(RunExecList({r}));
  std::string command_line = testsupport::ReadText(dir_.file("marker.txt"));
  EXPECT_NE(command_line.find("0 0 marker.txt"), std::string::npos) << command_line;
}

TEST_F(ProgramStep, LibraryFunctionIsCalled) {
  int before = TouchCalls();
  ASSERT_TRUE(RunExecList({Record("Touch@%Bin%\\touch_library.dll")}));
  EXPECT_EQ(TouchCalls(), before + 1);
  EXPECT_TRUE(FileExists(testsupport::BinDir() + "\\touched.txt"));
  DeleteFileA((testsupport::BinDir() + "\\touched.txt").c_str());
  // The library is freed again afterwards.
  EXPECT_EQ(GetModuleHandleA("touch_library.dll"), nullptr);
}

TEST_F(ProgramStep, LibraryAndFunctionFailures) {
  EXPECT_FALSE(RunExecList({Record("Touch@%Scratch%\\missing.dll")}));
  EXPECT_FALSE(RunExecList({Record("Nope@%Bin%\\touch_library.dll")}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{"Failed to load library '" + dir_.path() + "\\missing.dll'",
                                                "Failed to find func 'Nope'"}));
  EXPECT_FALSE(IsExecPhase());
  int before = TouchCalls();
  EXPECT_TRUE(RunExecList({Record("Touch@%Scratch%\\missing.dll", "", true), Record("Nope@%Bin%\\touch_library.dll", "", true),
                           Record("Touch@%Bin%\\touch_library.dll")}));
  EXPECT_EQ(TouchCalls(), before + 1);
  EXPECT_EQ(Errors().size(), 2u);
  DeleteFileA((testsupport::BinDir() + "\\touched.txt").c_str());
}

TEST_F(ProgramStep, ProgramThatCannotStart) {
  EXPECT_FALSE(RunExecList({Record("%Scratch%\\missing.exe")}));
  EXPECT_EQ(Errors(), std::vector<std::string>{"Failed to execute '" + dir_.path() + "\\missing.exe'"});
  EXPECT_TRUE(RunExecList({Record("%Scratch%\\missing.exe", "", true)}));
}

TEST_F(ProgramStep, StatusMessageOfEachRecord) {
  ExecRecord only_message;
  only_message.StatusMessage = u"Preparing %GameName%";
  SetVariable("GameName", "Example Game");
  ASSERT_TRUE(RunExecList({only_message}));
  EXPECT_EQ(Narrow(ExecMessage()), "Preparing Example Game");
  ASSERT_TRUE(RunExecList({ExecRecord()}));
  EXPECT_EQ(Narrow(ExecMessage()), "Installing prerequisites...");
}

struct CancelProbe {
  const ExecStatus* exec = nullptr;  // the job's
  DWORD cancelAt = 0;
  bool sawExecPhase = false;
};

DWORD WINAPI CancelLater(void* argument) {
  auto* probe = static_cast<CancelProbe*>(argument);
  Sleep(500);
  probe->sawExecPhase = probe->exec->Phase();
  probe->cancelAt = GetTickCount();
  ::Run().aborted = true;
  return 0;
}

TEST_F(ProgramStep, CancelWhileWaitingReturnsWithinAPoll) {
  CancelProbe probe;
  probe.exec = &job_.exec;
  HANDLE canceller = CreateThread(nullptr, 0, CancelLater, &probe, 0, nullptr);
  ASSERT_NE(canceller, nullptr);
  std::string marker = dir_.file("after.txt");
  bool result = RunExecList({Record("%Bin%\\exit_code.exe", "0 4000"),
                             Record("%Bin%\\exit_code.exe", "0 0 \"%Scratch%\\after.txt\"")});
  DWORD returned = GetTickCount();
  WaitForSingleObject(canceller, INFINITE);
  CloseHandle(canceller);
  EXPECT_FALSE(result);
  EXPECT_TRUE(probe.sawExecPhase);
  EXPECT_FALSE(IsExecPhase());
  // A poll is 20 ms; the tick count is coarse and Wine may be slow to
  // schedule, hence the margin.
  EXPECT_LT(returned - probe.cancelAt, 200u);
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(FileExists(marker));
}

// A document whose type is opened through DDE by a program that is already
// running: the shell hands the document over and starts no process, so there
// is no process to wait for and the record counts as done.
constexpr const char* kDdeService = "ZelkonActionsDocs";
constexpr const char* kDocType = "ZelkonActionsTest.Doc";

struct DdeServer {
  HANDLE ready = nullptr;
  DWORD thread = 0;
  DWORD instance = 0;
  volatile LONG executes = 0;
};
DdeServer* g_server = nullptr;

HDDEDATA CALLBACK DdeCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  if (type == XTYP_CONNECT) return reinterpret_cast<HDDEDATA>(TRUE);
  if (type == XTYP_EXECUTE) {
    InterlockedIncrement(&g_server->executes);
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
  }
  return nullptr;
}

DWORD WINAPI ServeDde(void* argument) {
  auto* server = static_cast<DdeServer*>(argument);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue
  if (DdeInitializeA(&server->instance, DdeCallback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) {
    SetEvent(server->ready);
    return 1;
  }
  HSZ name = DdeCreateStringHandleA(server->instance, kDdeService, CP_WINANSI);
  DdeNameService(server->instance, name, nullptr, DNS_REGISTER);
  SetEvent(server->ready);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DdeNameService(server->instance, name, nullptr, DNS_UNREGISTER);
  DdeFreeStringHandle(server->instance, name);
  DdeUninitialize(server->instance);
  return 0;
}

void SetClassValue(const std::string& key, const std::string& name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) ==
      ERROR_SUCCESS) {
    RegSetValueExA(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
  }
}

bool CanCreateWindows() {
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

TEST_F(ProgramStep, DocumentWithoutAProcessCountsAsDone) {
  // DDE conversations run between windows.
  if (!CanCreateWindows()) GTEST_SKIP() << "no display: DDE needs windows";
  std::string type = kDocType;
  SetClassValue(".zzactdoc", "", type);
  // Were the document handed to a new process, it would exit with 7 and fail
  // the record.
  SetClassValue(type + "\\shell\\open\\command", "", testsupport::BinDir() + "\\exit_code.exe 7");
  SetClassValue(type + "\\shell\\open\\ddeexec", "", "[open(\"%1\")]");
  SetClassValue(type + "\\shell\\open\\ddeexec\\application", "", kDdeService);
  SetClassValue(type + "\\shell\\open\\ddeexec\\topic", "", "System");
  ASSERT_TRUE(testsupport::WriteWholeFile(dir_.file("readme.zzactdoc"), "document"));

  DdeServer server;
  g_server = &server;
  server.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, ServeDde, &server, 0, &server.thread);
  WaitForSingleObject(server.ready, 10000);

  bool result = RunExecList({Record("%Scratch%\\readme.zzactdoc")});
  LONG executes = server.executes;

  PostThreadMessageA(server.thread, WM_QUIT, 0, 0);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  CloseHandle(server.ready);
  g_server = nullptr;
  DeleteKeyTree(HKEY_CLASSES_ROOT, ".zzactdoc");
  DeleteKeyTree(HKEY_CLASSES_ROOT, type);

  EXPECT_EQ(executes, 1) << "the document went to the running program";
  EXPECT_TRUE(result);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
