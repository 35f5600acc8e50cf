// The install worker's extraction retry through the progress page's hand-over
// (the ask and answer events), on a real cabinet, with a file that cannot be
// written standing in for a running product.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/string_utils.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "driver/worker_threads.h"
#include "engine/install_job.h"
#include "engine/install_worker.h"
#include "support/test_support.h"

namespace {

// Plays the progress page: waits for each question, counts it and answers.
struct PromptAnswerer {
  int answer = IDOK;
  int asked = 0;
  HANDLE thread = nullptr;
  volatile bool stop = false;

  static DWORD WINAPI Body(LPVOID self_pointer) {
    PromptAnswerer& self = *static_cast<PromptAnswerer*>(self_pointer);
    HANDLE ask = static_cast<HANDLE>(::Run().askEvent);
    while (!self.stop) {
      if (WaitForSingleObject(ask, 20) != WAIT_OBJECT_0) continue;
      ResetEvent(ask);
      ++self.asked;
      ::Run().promptAnswer = self.answer;
      SetEvent(static_cast<HANDLE>(::Run().answerEvent));
    }
    return 0;
  }
  void Start() { thread = CreateThread(nullptr, 0, Body, this, 0, nullptr); }
  void Join() {
    stop = true;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
};

class InstallWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cabinet_ = testsupport::SharedTestData();
    if (cabinet_.empty()) GTEST_SKIP() << "shared test data (../shared/testdata) is not present";
    cabinet_ += "\\cabs\\mszip-lzx18-qtm18.cab";
    ConnectRunHandlers();
    RunState& run = ::Run();
    run.askEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    run.answerEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    run.silent = false;
    run.aborted = false;
    run.failed = false;
    run.payloadPath = cabinet_;
    run.cabinetOffset = 0;
    run.entryPrefix = "";  // every entry, in cabinet order: mszip.txt, lzx.txt, qtm.txt
    run.destinationFolder = dir_.path() + "\\";
    run.extractedFiles.clear();
    // The test's own job: a configuration with nothing to do but the
    // extraction.
    run.commandLineRegValues.clear();
    logStart_ = job_.log.Text().size();
  }
  void TearDown() override {
    RunState& run = ::Run();
    CloseHandle(static_cast<HANDLE>(run.askEvent));
    CloseHandle(static_cast<HANDLE>(run.answerEvent));
    run.askEvent = run.answerEvent = nullptr;
    run.aborted = false;
    run.failed = false;
  }

  // The worker on its own thread, as the driver starts it, until done.
  void RunWorker() {
    StartInstallWorker(job_);
    for (int i = 0; i < 600 && !::Run().done; ++i) Sleep(50);
    ASSERT_TRUE(::Run().done);
  }

  // "File" lines the worker appended, without their tag.
  std::vector<std::string> LoggedFiles() {
    std::vector<std::string> files;
    const std::string text = Narrow(job_.log.Text().substr(logStart_));
    size_t at = 0;
    while ((at = text.find("\t<File>", at)) != std::string::npos) {
      at += 7;
      files.push_back(text.substr(at, text.find("</File>", at) - at));
    }
    return files;
  }
  std::string Out(const char* name) { return dir_.path() + "\\" + name; }

  std::string cabinet_;
  testsupport::ScratchDir dir_;
  DefinesParser variables_;
  InstallJob job_{RunInstallContext(), variables_};
  size_t logStart_ = 0;
};

TEST_F(InstallWorkerTest, ExtractsEverythingAndReportsSuccess) {
  PromptAnswerer page;
  page.Start();
  RunWorker();
  page.Join();
  EXPECT_EQ(page.asked, 0);
  EXPECT_FALSE(::Run().failed);
  EXPECT_FALSE(::Run().aborted);
  EXPECT_EQ(LoggedFiles(), (std::vector<std::string>{Out("mszip.txt"), Out("lzx.txt"), Out("qtm.txt")}));
}

TEST_F(InstallWorkerTest, RetriesOnceAfterOkThenFails) {
  // qtm.txt, the last entry, cannot be created by either attempt.
  ASSERT_TRUE(CreateDirectoryA(Out("qtm.txt").c_str(), nullptr));
  PromptAnswerer page;
  page.answer = IDOK;
  page.Start();
  RunWorker();
  page.Join();
  EXPECT_EQ(page.asked, 1);
  EXPECT_TRUE(::Run().failed);
  EXPECT_TRUE(::Run().aborted);
  // Both attempts wrote the first two entries; both are logged twice.
  EXPECT_EQ(LoggedFiles(),
            (std::vector<std::string>{Out("mszip.txt"), Out("lzx.txt"), Out("mszip.txt"), Out("lzx.txt")}));
}

TEST_F(InstallWorkerTest, CancelAtThePromptFailsAtOnce) {
  ASSERT_TRUE(CreateDirectoryA(Out("qtm.txt").c_str(), nullptr));
  PromptAnswerer page;
  page.answer = IDCANCEL;
  page.Start();
  RunWorker();
  page.Join();
  EXPECT_EQ(page.asked, 1);
  EXPECT_TRUE(::Run().failed);
  EXPECT_TRUE(::Run().aborted);
  EXPECT_EQ(LoggedFiles(), (std::vector<std::string>{Out("mszip.txt"), Out("lzx.txt")}));
}

TEST_F(InstallWorkerTest, ASecondAttemptThatSucceedsClearsTheFailure) {
  // The page frees the blocked path before it answers OK, as a user who
  // closes the product does.
  ASSERT_TRUE(CreateDirectoryA(Out("qtm.txt").c_str(), nullptr));
  const std::string blocked = Out("qtm.txt");
  HANDLE ask = static_cast<HANDLE>(::Run().askEvent);
  RunState& run = ::Run();
  StartInstallWorker(job_);
  ASSERT_EQ(WaitForSingleObject(ask, 30000), WAIT_OBJECT_0);
  ResetEvent(ask);
  ASSERT_TRUE(RemoveDirectoryA(blocked.c_str()));
  run.promptAnswer = IDOK;
  SetEvent(static_cast<HANDLE>(run.answerEvent));
  for (int i = 0; i < 600 && !run.done; ++i) Sleep(50);
  ASSERT_TRUE(run.done);
  EXPECT_FALSE(run.failed);
  EXPECT_FALSE(run.aborted);
  EXPECT_EQ(LoggedFiles(), (std::vector<std::string>{Out("mszip.txt"), Out("lzx.txt"), Out("mszip.txt"),
                                                     Out("lzx.txt"), Out("qtm.txt")}));
}

TEST(RefreshShellIconsTest, NotifiesTheShellOnTheNtFamily) { EXPECT_TRUE(RefreshShellIcons()); }

// The run has one install job, one configuration in it, and its defines
// record is not the main variable store that its variables are.
TEST(InstallConfigTest, TheRunHasOneInstance) {
  EXPECT_EQ(&RunJob(), &RunJob());
  EXPECT_EQ(&RunJob().config, &RunJob().config);
  EXPECT_EQ(&RunJob().variables, &MainVariables());
  EXPECT_NE(&MainVariables(), &RunJob().defines);
}

}  // namespace
