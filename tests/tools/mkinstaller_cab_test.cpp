// "mkinstaller" as a user runs it: the subcommand table, "cab list" and
// "cab extract", exit codes and messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "support/test_support.h"
#include "tests/cabinet/cab_test_builder.h"

namespace {

struct Result {
  int exit_code = -1;
  std::string out, err;
};

Result RunTool(const std::string& args) {
  testsupport::ScratchDir io;
  const std::string command = "'" + testsupport::BinDir() + "/mkinstaller' " + args + " >'" + io.file("out") +
                              "' 2>'" + io.file("err") + "'";
  Result r;
  int status = std::system(command.c_str());
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = testsupport::ReadText(io.file("out"));
  r.err = testsupport::ReadText(io.file("err"));
  return r;
}

std::string WriteCab(const testsupport::ScratchDir& dir, const std::vector<cabtest::TestEntry>& entries,
                     const char* name = "t.cab") {
  auto cab = cabtest::BuildCabinet(entries);
  EXPECT_TRUE(testsupport::WriteWholeFile(dir.file(name), cab.bytes.data(), cab.bytes.size()));
  return dir.file(name);
}

TEST(Mkinstaller, VersionHelpAndUnknownSubcommands) {
  Result v = RunTool("--version");
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_EQ(v.out, "mkinstaller 0.1.0\n");
  Result h = RunTool("--help");
  EXPECT_EQ(h.exit_code, 0);
  EXPECT_NE(h.out.find("  cab "), std::string::npos) << h.out;
  EXPECT_EQ(RunTool("").exit_code, 2);
  Result u = RunTool("frobnicate");
  EXPECT_EQ(u.exit_code, 2);
  EXPECT_NE(u.err.find("unknown subcommand 'frobnicate'"), std::string::npos) << u.err;
  EXPECT_EQ(RunTool("cab --help").exit_code, 0);
}

TEST(MkinstallerCab, BadUsageExitsWithTwo) {
  const char* usages[] = {"cab",           "cab list",         "cab list a b",        "cab extract x.cab",
                          "cab extract a b c", "cab extract a b --prefix", "cab extract --bogus a b",
                          "cab bogus x"};
  for (const char* args : usages) {
    Result r = RunTool(args);
    EXPECT_EQ(r.exit_code, 2) << args;
    EXPECT_NE(r.err.find("usage: mkinstaller cab"), std::string::npos) << args;
  }
}

TEST(MkinstallerCab, ListShowsSizeDateTimeAttributesAndName) {
  testsupport::ScratchDir dir;
  std::vector<cabtest::TestEntry> entries(2);
  entries[0] = {"cfg\\install.xml", cabtest::Bytes("<install/>")};
  entries[1] = {"files\\game.exe", cabtest::Pattern(70000, 1), 0, 0x4D6A,
                static_cast<uint16_t>((17 << 11) | (33 << 5) | 21), 0x01 | 0x02 | 0x20 | 0x40};
  Result r = RunTool("cab list '" + WriteCab(dir, entries) + "'");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "          10 2025-01-01 12:00:00 ---a- cfg\\install.xml\n"
            "       70000 2018-11-10 17:33:42 rh-ax files\\game.exe\n");
}

TEST(MkinstallerCab, ExtractWritesEntriesUnderThePrefix) {
  testsupport::ScratchDir dir;
  const std::string cab = WriteCab(dir, {{"cfg\\a.xml", cabtest::Bytes("A")},
                                         {"files\\sub\\b.bin", cabtest::Pattern(40000, 2)}});
  Result r = RunTool("cab extract '" + cab + "' '" + dir.file("out") + "' --prefix 'files\\'");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<uint8_t> b;
  ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("out/sub/b.bin"), &b));
  EXPECT_EQ(b, cabtest::Pattern(40000, 2));
  EXPECT_FALSE(testsupport::ReadWholeFile(dir.file("out/a.xml"), &b));

  Result all = RunTool("cab extract '" + cab + "' '" + dir.file("all") + "'");
  ASSERT_EQ(all.exit_code, 0) << all.err;
  EXPECT_EQ(testsupport::ReadText(dir.file("all/cfg/a.xml")), "A");
}

TEST(MkinstallerCab, FailuresExitWithOneAndSayWhy) {
  testsupport::ScratchDir dir;
  auto damaged = cabtest::BuildCabinet({{"x", cabtest::Pattern(5000, 3)}});
  damaged.bytes[damaged.block_offsets[0] + 100] ^= 0xFF;
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("bad.cab"), damaged.bytes.data(), damaged.bytes.size()));
  const std::string unsafe = WriteCab(dir, {{"..\\escape.txt", cabtest::Bytes("no")}}, "unsafe.cab");
  const struct {
    std::string args;
    const char* message;
  } cases[] = {
      {"cab list '" + dir.file("missing.cab") + "'", "cabinet not found"},
      {"cab extract '" + dir.file("missing.cab") + "' '" + dir.file("o1") + "'", "cannot open"},
      {"cab list '" + unsafe + "x'", "cabinet not found"},
      {"cab extract '" + dir.file("bad.cab") + "' '" + dir.file("o2") + "'", "corrupt cabinet: bad block checksum in folder 0"},
      {"cab extract '" + unsafe + "' '" + dir.file("o3") + "'", "Refused cabinet entry '..\\escape.txt'"},
  };
  for (const auto& c : cases) {
    Result r = RunTool(c.args);
    EXPECT_EQ(r.exit_code, 1) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
  EXPECT_FALSE(testsupport::ReadText(dir.file("escape.txt")) == "no");
}

}  // namespace
