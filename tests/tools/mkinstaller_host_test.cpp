// mkinstaller as publishers meet it: the command run as a program, its exit
// status, its messages and the installers it writes, checked with an
// independent cabinet reader (cabextract).
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/sha256.h"
#include "support/run_command_host.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ShellQuote;

using Result = testsupport::CommandResult;

Result RunTool(const std::string& args, const std::string& env = "") {
  return testsupport::RunCommand(env + " " + ShellQuote(testsupport::BinDir() + "/mkinstaller") + " " + args);
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(testsupport::WriteWholeFile(path.string(), text));
}

// A small valid configuration and product.
class MkinstallerPacking : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_.path();
    cfg_ = fs::path(root_) / "cfg";
    files_ = fs::path(root_) / "files";
    Write(cfg_ / "props.xml", "<Properties><String id=\"INSTALL_ERROR\">Oops</String></Properties>");
    Write(cfg_ / "defines.xml",
          "<Defines><Define><Name>InstallName</Name><Value>Test Game</Value></Define>"
          "<Define><Name>InstallPath</Name><Value>%ProgramFiles%\\Test Game</Value></Define></Defines>");
    Write(cfg_ / "install.xml",
          "<InstallConfig><RunExe>%InstallPath%\\game.exe</RunExe>"
          "<InstallLog>%InstallPath%\\install.log</InstallLog></InstallConfig>");
    Write(cfg_ / "license.txt", "license");
    Write(cfg_ / "logo.bmp", "BM");
    Write(cfg_ / "product.bmp", "BM");
    Write(files_ / "game.exe", std::string(70000, 'G'));
    Write(files_ / "data" / "empty.bin", "");
    std::string big;
    for (int i = 0; i < 200000; ++i) big += static_cast<char>((i * 7919) >> 3);
    Write(files_ / "data" / "levels" / "big.dat", big);
    Write(stub(), std::string(4096, 'S'));
  }
  std::string stub() const { return root_ + "/stub.exe"; }
  std::string BuildArgs(const std::string& out, const std::string& extra = "") const {
    return "build --stub " + ShellQuote(stub()) + " --cfg " + ShellQuote(cfg_.string()) + " --files " +
           ShellQuote(files_.string()) + " " + extra + " -o " + ShellQuote(out);
  }

  testsupport::ScratchDir scratch_;
  std::string root_;
  fs::path cfg_, files_;
};

uint32_t LE32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

TEST_F(MkinstallerPacking, BuildWritesTheStubCabinetTextsAndSignature) {
  Write(fs::path(root_) / "one.txt", "<Defines><Define><Name>A</Name><Value>1</Value></Define></Defines>");
  Write(fs::path(root_) / "two.txt", "<Defines><Define><Name>A</Name><Value>2</Value></Define></Defines>");
  std::string out = root_ + "/Setup.exe";
  Result r = RunTool(BuildArgs(out, "--defines-text " + ShellQuote(root_ + "/one.txt") + " --defines-text " +
                                    ShellQuote(root_ + "/two.txt")));
  ASSERT_EQ(r.status, 0) << r.err;

  std::vector<uint8_t> file;
  ASSERT_TRUE(testsupport::ReadWholeFile(out, &file));
  // stub, its type-2 header reading 4096, the cabinet, texts, signature.
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4096), std::string(4096, 'S'));
  EXPECT_EQ(LE32(file, 4096), 4096u);
  EXPECT_EQ(LE32(file, 4100), 2u);
  EXPECT_EQ(std::string(file.end() - 20, file.end()), "!zelkoninstallersig!");
  EXPECT_EQ(std::string(file.begin() + 4104, file.begin() + 4108), "MSCF");

  Result list = RunTool("list " + ShellQuote(out));
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("skipped                   0         4096"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("cabinet                4104"), std::string::npos) << list.out;
  size_t first = list.out.find("<Value>1</Value>"), second = list.out.find("<Value>2</Value>");
  EXPECT_TRUE(first != std::string::npos && second != std::string::npos && first < second) << list.out;
  for (const char* entry : {"cfg\\install.xml", "cfg\\props.xml", "files\\game.exe", "files\\data\\empty.bin",
                            "files\\data\\levels\\big.dat"})
    EXPECT_NE(list.out.find(entry), std::string::npos) << entry;

  // The cabinet range, read by an independent decoder.
  uint32_t cab_length = LE32(file, 4104 + 8);  // cbCabinet of the header
  std::string cab_path = root_ + "/payload.cab";
  ASSERT_TRUE(testsupport::WriteWholeFile(cab_path, file.data() + 4104, cab_length));
  std::string extracted = root_ + "/extracted";
  ASSERT_EQ(std::system(("cabextract -q -d " + ShellQuote(extracted) + " " + ShellQuote(cab_path) + " >/dev/null 2>&1").c_str()), 0);
  for (const char* name : {"files/game.exe", "files/data/levels/big.dat", "cfg/defines.xml"}) {
    EXPECT_EQ(testsupport::ReadText(extracted + "/" + name),
              testsupport::ReadText(root_ + "/" + name)) << name;
  }
}

TEST_F(MkinstallerPacking, SameInputsGiveTheSameBytes) {
  for (const char* compression : {"lzx", "mszip", "none", "lzx:15"}) {
    std::string a = root_ + "/a.exe", b = root_ + "/b.exe";
    ASSERT_EQ(RunTool(BuildArgs(a, std::string("--compression ") + compression)).status, 0) << compression;
    ASSERT_EQ(RunTool(BuildArgs(b, std::string("--compression ") + compression)).status, 0) << compression;
    std::vector<uint8_t> x, y;
    testsupport::ReadWholeFile(a, &x);
    testsupport::ReadWholeFile(b, &y);
    EXPECT_EQ(x, y) << compression;
  }
}

TEST_F(MkinstallerPacking, CheckPrintsTheInstallersOwnErrorTexts) {
  struct Case {
    const char* file;
    const char* text;
    const char* expected;  // the message, before its file part
  } cases[] = {
      {"props.xml", "<Properties><Boolean id=\"F\">maybe</Boolean></Properties>",
       "Properties file error: 'Invalid Boolean Value: 'MAYBE' on Line 1 in File '"},
      {"defines.xml", "<Defines><Define><Name>X</Name><Other>1</Other></Define></Defines>",
       "Invalid Section 'Other' on Line 1 in File '"},
      {"install.xml", "<InstallConfig>\n<Bogus/>\n</InstallConfig>", "Invalid Section 'Bogus' on Line 2 in File '"},
      {"install.xml", "<InstallConfig>\n<RunExe>x<b/></RunExe>\n</InstallConfig>",
       "Unexpected Section: b on Line 2 in File '"},
  };
  for (const Case& c : cases) {
    std::string original = testsupport::ReadText((cfg_ / c.file).string());
    Write(cfg_ / c.file, c.text);
    Result r = RunTool("check " + ShellQuote(cfg_.string()));
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_EQ(r.err.rfind(c.expected, 0), 0u) << r.err;
    EXPECT_NE(r.err.find((cfg_ / c.file).string() + "'"), std::string::npos) << r.err;
    // build refuses the same configuration and writes nothing.
    std::string out = root_ + "/refused.exe";
    EXPECT_EQ(RunTool(BuildArgs(out)).status, 1) << c.file;
    EXPECT_FALSE(fs::exists(out)) << c.file;
    Write(cfg_ / c.file, original);
  }
}

TEST_F(MkinstallerPacking, CheckWarnsAboutWhatWillGoWrongAtInstallTime) {
  fs::remove(cfg_ / "license.txt");
  fs::remove(cfg_ / "logo.bmp");
  fs::remove(files_ / "game.exe");
  Result r = RunTool("check " + ShellQuote(cfg_.string()) + " --files " + ShellQuote(files_.string()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: the license file 'license.txt'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: the header bitmap 'logo.bmp'"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("'product.bmp'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: RunExe '%InstallPath%\\game.exe' names no packed file"), std::string::npos) << r.err;
}

TEST_F(MkinstallerPacking, ExpandUsesTheConfigurationAndWindows7Folders) {
  Result r = RunTool("expand " + ShellQuote(cfg_.string()) + " '%InstallPath%' '%INSTALL_ERROR%' '50%%' '#Uppercase %InstallName%'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "C:\\Program Files\\Test Game\nOops\n50%\nTEST GAME\n");
}

TEST_F(MkinstallerPacking, BadUsageAndBadInputAreReported) {
  struct Case {
    std::string args;
    int status;
    const char* message;
  } cases[] = {
      {"", 2, "usage"},
      {"frobnicate", 2, "unknown subcommand 'frobnicate'"},
      {"build --cfg x", 2, "--files is required"},
      {BuildArgs(root_ + "/x.exe", "--compression lzx:22"), 2, "unknown compression 'lzx:22'"},
      {BuildArgs(root_ + "/x.exe", "--attrib files\\game.exe=q"), 2, "bad --attrib"},
      {"list " + ShellQuote(root_ + "/missing.exe"), 1, "cannot open"},
      {"list " + ShellQuote(stub()), 1, "no readable payload"},
      {"check " + ShellQuote(root_ + "/nowhere"), 1, "Properties file error: 'Unable to open file "},
  };
  for (const Case& c : cases) {
    Result r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
  EXPECT_EQ(RunTool("--version").status, 0);
  EXPECT_EQ(RunTool("build --help").status, 0);
}

TEST_F(MkinstallerPacking, AttributesComeFromTheFileSystemOrTheCommandLine) {
  chmod((files_ / "game.exe").c_str(), 0444);
  std::string out = root_ + "/Setup.exe";
  ASSERT_EQ(RunTool(BuildArgs(out, "--attrib 'files\\data\\empty.bin=hs'")).status, 0);
  Result list = RunTool("list " + ShellQuote(out));
  EXPECT_NE(list.out.find("r--a- files\\game.exe"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("-hs-- files\\data\\empty.bin"), std::string::npos) << list.out;
  chmod((files_ / "game.exe").c_str(), 0644);
}

}  // namespace

// Volume sets: a payload of about 3.5 MB at a volume size of 1M and a part
// size of 1M, read back by cabextract (the whole set from the installer) and
// by list --json; the same inputs give the same bytes in every file.
class MkinstallerVolumes : public MkinstallerPacking {
 protected:
  void SetUp() override {
    MkinstallerPacking::SetUp();
    std::string noise(2500000, '\0');
    uint32_t x = 7;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    Write(files_ / "data" / "huge.pak", noise);
    Write(files_ / "data" / "text.txt", std::string(900000, 'T'));
  }
  std::vector<std::string> Listing(const std::string& dir) const {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  const std::string kSetOptions = "--compression none --volume-size 1M --part-size 1M";
};

TEST_F(MkinstallerVolumes, BuildWritesASetThatCabextractAndListRead) {
  const std::string dir = root_ + "/out", again = root_ + "/again";
  fs::create_directories(dir);
  fs::create_directories(again);
  Write(fs::path(dir) / "Game-9.cab", "");  // not a volume: left alone (beyond the set's names)
  Result r = RunTool(BuildArgs(dir + "/Game.exe", kSetOptions));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"Game-2.cab", "Game-3.cab", "Game-4.cab", "Game-9.cab", "Game.exe"}));
  for (const std::string& name : Listing(dir)) EXPECT_LE(fs::file_size(dir + "/" + name), 1u << 20) << name;
  EXPECT_NE(r.out.find("Game-3.cab: 1048576 bytes, sha256 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("files\\data\\huge.pak: stored as 3 parts"), std::string::npos) << r.out;

  Result t = testsupport::RunCommand("sh -c " + ShellQuote("cd " + ShellQuote(dir) + " && cabextract -t Game.exe && cabextract -q -d ../x Game.exe"
                                     " && cat ../x/files/data/huge.pak.00* | cmp - " + ShellQuote((files_ / "data/huge.pak").string())));
  EXPECT_EQ(t.status, 0) << t.out << t.err;
  EXPECT_NE(t.out.find("All done, no errors"), std::string::npos) << t.out;

  Result list = RunTool("list --json " + ShellQuote(dir + "/Game.exe"));
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("{\"name\": \"Game-4.cab\", \"size\": "), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\"present\": true}\n  ],\n  \"joinedFiles\": [\n    {\"name\": \"files\\\\data\\\\huge.pak\", \"parts\": 3}"),
            std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\"name\": \"files\\\\data\\\\huge.pak.003\", \"size\": 402848"), std::string::npos);

  // extract reads the set in place and joins the parts; a damaged volume
  // stops it with the volume's name.
  Result ex = RunTool("extract " + ShellQuote(dir + "/Game.exe") + " " + ShellQuote(root_ + "/ex"));
  ASSERT_EQ(ex.status, 0) << ex.err;
  std::vector<uint8_t> joined, original;
  ASSERT_TRUE(testsupport::ReadWholeFile(root_ + "/ex/files/data/huge.pak", &joined));
  ASSERT_TRUE(testsupport::ReadWholeFile((files_ / "data/huge.pak").string(), &original));
  EXPECT_TRUE(joined == original);
  EXPECT_FALSE(fs::exists(root_ + "/ex/files/data/huge.pak.001"));
  fs::copy_file(dir + "/Game-3.cab", root_ + "/keep.cab");
  fs::resize_file(dir + "/Game-3.cab", 1000);
  ex = RunTool("extract " + ShellQuote(dir + "/Game.exe") + " " + ShellQuote(root_ + "/ex2"));
  EXPECT_EQ(ex.status, 1);
  EXPECT_NE(ex.err.find("Game-3.cab"), std::string::npos) << ex.err;
  fs::copy_file(root_ + "/keep.cab", dir + "/Game-3.cab", fs::copy_options::overwrite_existing);

  ASSERT_EQ(RunTool(BuildArgs(again + "/Game.exe", kSetOptions)).status, 0);
  for (const char* name : {"Game.exe", "Game-2.cab", "Game-3.cab", "Game-4.cab"}) {
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(testsupport::ReadWholeFile(dir + "/" + name, &a));
    ASSERT_TRUE(testsupport::ReadWholeFile(again + "/" + name, &b));
    EXPECT_TRUE(a == b) << name;
  }
  // A smaller set over the earlier one: its volumes are replaced, the one
  // beyond the new set removed.
  fs::remove(files_ / "data" / "huge.pak");
  ASSERT_EQ(RunTool(BuildArgs(dir + "/Game.exe", kSetOptions)).status, 0);
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"Game-2.cab", "Game-9.cab", "Game.exe"}));
}

// Every product file's size and SHA-256, a joined file once under its joined
// name; cfg\ is not hashed.
TEST_F(MkinstallerVolumes, ListPrintsTheHashOfEveryProductFile) {
  const std::string dir = root_ + "/out";
  fs::create_directories(dir);
  ASSERT_EQ(RunTool(BuildArgs(dir + "/Game.exe", kSetOptions)).status, 0);
  Result list = RunTool("list --json " + ShellQuote(dir + "/Game.exe"));
  ASSERT_EQ(list.status, 0) << list.err;
  std::vector<uint8_t> huge;
  ASSERT_TRUE(testsupport::ReadWholeFile((files_ / "data/huge.pak").string(), &huge));
  const std::string expected = "{\"name\": \"files\\\\data\\\\huge.pak\", \"size\": 2500000, \"sha256\": \"" +
                               base::Sha256Hex(base::Sha256Of(huge.data(), huge.size())) + "\"}";
  const size_t hashes = list.out.find("\"fileHashes\": [");
  ASSERT_NE(hashes, std::string::npos) << list.out;
  EXPECT_NE(list.out.find(expected, hashes), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("cfg\\\\", hashes), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("huge.pak.001", hashes), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("{\"type\": \"file hashes\""), std::string::npos) << list.out;
  const size_t id = list.out.find("\"installerId\": \"");
  ASSERT_NE(id, std::string::npos) << list.out;
  EXPECT_EQ(list.out.find_first_not_of("0123456789abcdef", id + 16), id + 16 + 64) << list.out;
}

TEST_F(MkinstallerVolumes, BadVolumeInputIsRefusedAndNothingWritten) {
  const std::string dir = root_ + "/out";
  fs::create_directories(dir);
  Write(fs::path(dir) / "Game-3.cab", "someone else's file");
  Write(files_ / "Setup-2.cab", "an input");
  struct Case {
    std::string args;
    int status;
    const char* message;
  } cases[] = {
      {BuildArgs(dir + "/A.exe", "--volume-size 512K"), 1, "the volume size must be 1M (1048576 bytes) to 4294967295"},
      {BuildArgs(dir + "/A.exe", "--volume-size 4G"), 1, "the volume size must be 1M (1048576 bytes) to 4294967295"},
      {BuildArgs(dir + "/A.exe", "--volume-size 10Q"), 2, "bad --volume-size '10Q'"},
      {BuildArgs(dir + "/A.exe", "--part-size 0"), 2, "bad --part-size '0'"},
      {BuildArgs(dir + "/Game.exe", kSetOptions), 1,
       "exists and is not a volume of an earlier build of 'Game.exe'; remove it or choose another output name"},
      {BuildArgs((files_ / "Setup.exe").string(), kSetOptions), 1, "would overwrite an input file"},
      {BuildArgs(dir + "/A.exe", "--compression none --volume-size 1M"), 1, "volumes of 1048576 bytes, more than a set can chain"},
  };
  Write(files_ / "data" / "sparse.bin", "");
  for (size_t i = 0; i < std::size(cases); ++i) {
    // The last case: a sparse 70 GB file, stored, needs more volumes than the chain holds.
    if (i + 1 == std::size(cases)) fs::resize_file(files_ / "data" / "sparse.bin", 70ull << 30);
    const std::vector<std::string> before = Listing(dir), inputs = Listing((files_ / "data").string());
    Result r = RunTool(cases[i].args);
    EXPECT_EQ(r.status, cases[i].status) << cases[i].args;
    EXPECT_NE(r.err.find(cases[i].message), std::string::npos) << cases[i].args << ": " << r.err;
    EXPECT_EQ(Listing(dir), before) << cases[i].args;
    EXPECT_EQ(Listing((files_ / "data").string()), inputs) << cases[i].args;
    EXPECT_EQ(Listing(files_.string()), (std::vector<std::string>{"Setup-2.cab", "data", "game.exe"})) << cases[i].args;
  }
}
