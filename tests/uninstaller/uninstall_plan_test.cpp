// What a log may remove, how its entries resolve, and the order in which
// the work is done (through a system that records the calls).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "config/defines_parser.h"
#include "uninstaller/path_safety.h"
#include "uninstaller/uninstall_plan.h"
#include "uninstaller/uninstall_run.h"

namespace {

KnownLocations Locations() {
  KnownLocations l;
  l.systemFolders = {"C:\\Windows", "C:\\Windows\\system32"};
  l.protectedFolders = {"C:\\Program Files", "C:\\users\\Public\\Desktop", "C:\\ProgramData",
                        "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", "C:\\users"};
  AddAllowedArea(&l, "C:\\users\\Public\\Desktop");
  AddAllowedArea(&l, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
  AddAllowedArea(&l, "C:\\Program Files\\Zelkon\\Game", AreaSource::Log);
  AddAllowedArea(&l, "C:\\", AreaSource::Log);                 // a drive root: no area
  AddAllowedArea(&l, "C:\\Windows\\X");                       // inside the system: no area
  AddAllowedArea(&l, "C:\\users", AreaSource::Log);            // holds the desktop: no area
  AddAllowedArea(&l, "C:\\Program Files", AreaSource::Log);    // a protected folder: no area
  return l;
}

TEST(PathSafety, PathsALogMayRemove) {
  const KnownLocations l = Locations();
  EXPECT_EQ(l.allowedAreas.size(), 3u);
  struct Case {
    const char* path;
    bool allowed;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Zelkon\\Game\\game.exe", true},
      {"c:/program files/zelkon/game/data", true},
      {"C:\\Program Files\\Zelkon\\Game", true},
      {"C:\\users\\Public\\Desktop\\Game.lnk", true},
      {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zelkon\\Play.lnk", true},
      {"C:\\Program Files\\Zelkon\\Game\\..\\..\\Other\\a.exe", false},
      {"C:\\Program Files\\Zelkon\\Game\\.\\a.exe", false},
      {"C:\\Program Files\\Zelkon\\Game\\\\a.exe", false},
      {"C:\\Program Files\\Zelkon\\Game\\*.exe", false},
      {"C:\\Program Files\\Zelkon\\Game\\a.exe:stream", false},
      {"C:\\Windows", false},
      {"C:\\Windows\\system32\\kernel32.dll", false},
      {"C:\\WINDOWS\\win.ini", false},
      {"C:\\", false},
      {"C:", false},
      {"\\\\server\\share\\a", false},
      {"Program Files\\Zelkon\\Game\\a.exe", false},
      {"C:\\users\\Public\\Desktop", false},
      {"C:\\Program Files\\Zelkon", false},
      {"C:\\Program Files\\Other\\a.exe", false},
      {"D:\\Games\\a.exe", false},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckPathForRemoval(c.path, l).empty(), c.allowed) << c.path;
}

TEST(PathSafety, KeysALogMayDelete) {
  struct Case {
    const char* key;
    bool allowed;
  };
  const Case cases[] = {
      {"HKLM\\Software\\Zelkon\\Game", true},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Game", true},
      {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\GameUX\\GamesToFindOnWindowsUpgrade\\{1}", true},
      {"HKCU\\Software\\Zelkon\\Game\\", true},
      {"HKLM\\Software\\Zelkon", true},
      {"HKLM\\Software", false},
      {"HKLM\\", false},
      {"HKLM\\SOFTWARE\\Microsoft", false},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false},
      {"HKLM\\SYSTEM\\CurrentControlSet\\Services", false},
      {"HKLM\\Software\\Zelkon\\..\\Microsoft", false},
      {"HKLM\\Software\\\\Zelkon", false},
      {"hklm\\Software\\Zelkon\\Game", false},
      {"HKU\\S-1-5-18\\Software", false},
      {"HKLM\\SOFTWARE\\Classes\\CLSID", false},
      {"HKCR\\CLSID\\{1}", false},
      {"HKCR\\Zelkon.Save.1\\shell", true},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckKeyForRemoval(c.key).empty(), c.allowed) << c.key;
  // Emptied keys: a file type's keys and the upgrade list's parents may go,
  // shared keys never.
  EXPECT_TRUE(MayRemoveEmptyKey("HKCR\\.zsav"));
  EXPECT_TRUE(MayRemoveEmptyKey("HKLM\\SOFTWARE\\Classes\\Zelkon.Save.1\\shell"));
  EXPECT_TRUE(MayRemoveEmptyKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\GameUX"));
  EXPECT_FALSE(MayRemoveEmptyKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
  EXPECT_FALSE(MayRemoveEmptyKey("HKCR\\CLSID"));
  EXPECT_FALSE(MayRemoveEmptyKey("HKLM\\SOFTWARE\\Classes"));
  EXPECT_TRUE(CheckClassName(".zsav", true).empty());
  EXPECT_FALSE(CheckClassName("zsav", true).empty());
  EXPECT_FALSE(CheckClassName("exefile", false).empty());
  EXPECT_FALSE(CheckClassName("a\\b", false).empty());
}

// A log of the sample layout: the product in its group folder, the log in
// the product's folder, a shortcut kept unexpanded and a shared one.
InstallLogEntries SampleLog(const std::vector<WString>& extra_files = {}) {
  InstallLogEntries log;
  log.installName = u"Game";
  log.files = {u"C:\\Program Files\\Zelkon\\Game\\game.exe", u"%AppFolder%\\Play.lnk",
               u"#HasDirectoriesExcept C:\\Program Files\\Zelkon,Game, | %CommonDesktop%\\Zelkon.lnk"};
  log.files.insert(log.files.end(), extra_files.begin(), extra_files.end());
  log.userDirectories = {u"C:\\Program Files\\Zelkon\\Game\\Saves"};
  log.deltrees = {u"C:\\Program Files\\Zelkon\\Game\\Cache"};
  log.deleteKeys = {u"HKLM\\Software\\Zelkon\\Game"};
  log.userKeys = {u"HKLM\\Software\\Zelkon\\Game\\Player"};
  log.regValues = {{u"HKLM\\Software\\Zelkon\\Game", u"Path"}};
  log.defines = {{u"INSTALLPATH", u"C:\\Program Files\\Zelkon"}, {u"INSTALLGROUP", u"Zelkon"}};
  log.registryClosed = log.logClosed = true;
  return log;
}

UninstallPlan Plan(const InstallLogEntries& log) {
  DefinesParser& store = MainVariables();
  store.Clear();
  store.SetVariable(u"CommonDesktop", u"C:\\users\\Public\\Desktop");
  store.SetVariable(u"CommonProgramGroup", u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
  SetLogVariables(log, u"C:\\ProgramData", store);
  KnownLocations l = Locations();
  AddLogAreas("C:\\Program Files\\Zelkon\\Game\\install.log", &l);
  // The store stays filled: the shared entries expand when they are run.
  return BuildPlan(log, "C:\\Program Files\\Zelkon\\Game\\install.log", l);
}

TEST(UninstallPlan, ResolvesTheLogWithItsOwnVariables) {
  const UninstallPlan plan = Plan(SampleLog());
  EXPECT_TRUE(plan.refusals.empty()) << plan.refusals.front();
  EXPECT_EQ(plan.files, (std::vector<std::string>{"C:\\Program Files\\Zelkon\\Game\\game.exe",
                                                  "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zelkon\\Play.lnk"}));
  ASSERT_EQ(plan.sharedEntries.size(), 1u);
  EXPECT_EQ(plan.sharedEntries[0].path, "C:\\users\\Public\\Desktop\\Zelkon.lnk");
  EXPECT_TRUE(plan.HasUserData());
  EXPECT_FALSE(plan.incomplete);
}

TEST(UninstallPlan, OneHostileEntryRefusesTheWholeLog) {
  const WString hostile[] = {u"C:\\Windows\\system32\\drivers\\etc\\hosts", u"C:\\Program Files\\Zelkon\\Game\\..\\..\\x",
                             u"#HasDirectoriesExcept C:\\Program Files,Zelkon, | C:\\Windows\\win.ini",
                             u"#IfSet 1, C:\\Windows\\win.ini", u"%Windows%\\win.ini"};
  for (const WString& entry : hostile) {
    const UninstallPlan plan = Plan(SampleLog({entry}));
    EXPECT_FALSE(plan.refusals.empty()) << Narrow(entry);
  }
  InstallLogEntries log = SampleLog();
  log.defines.push_back({u"INSTALLPATH", u"C:\\"});  // the install folder made the drive root
  log.files.push_back(u"C:\\boot.ini");
  EXPECT_FALSE(Plan(log).refusals.empty());
  log = SampleLog();
  log.deleteKeys.push_back(u"HKLM\\SOFTWARE\\Microsoft");
  EXPECT_FALSE(Plan(log).refusals.empty());
  // A value whose key the installer could not write (no valid root) is
  // nothing to remove, not a reason to refuse.
  log = SampleLog();
  log.regValues.push_back({u"hklm\\Software\\Zelkon", u"X"});
  const UninstallPlan plan = Plan(log);
  EXPECT_TRUE(plan.refusals.empty());
  EXPECT_EQ(plan.values.size(), 1u);
}

// Records every call; folders listed in `folders` exist, with the
// sub-folders the paths imply.
class RecordingSystem : public UninstallSystem {
 public:
  std::vector<std::string> calls;
  std::set<std::string> folders;
  std::set<std::string> failing;

  bool RunProgram(const PlannedProgram& p, std::string*) override { return Record("run " + p.exe); }
  Removal UndoAssociation(const PlannedAssociation& a, std::string*) override { return Note("assoc " + a.extension); }
  Removal DeleteRegValue(const std::string& k, const std::string& n, std::string*) override {
    return Note("value " + k + ":" + n);
  }
  Removal DeleteRegKey(const std::string& k, const std::vector<std::string>& keep, std::string*) override {
    return Note("key " + k + Keep(keep));
  }
  void RemoveEmptyKeys(const std::string& k) override { calls.push_back("prune key " + k); }
  Removal UnregisterGame(const std::string& g, std::string*) override { return Note("game " + g); }
  Removal RemoveFile(const std::string& p, std::string*) override { return Note("file " + p); }
  Removal DeleteTree(const std::string& p, const std::vector<std::string>& keep, std::string*) override {
    return Note("tree " + p + Keep(keep));
  }
  bool HasDirectoriesExcept(const std::string& folder, const std::string& except) override {
    calls.push_back("ask " + folder + " except " + except);
    for (const std::string& f : folders)
      if (GetDirectory(f) == folder && GetFileName(f, false) != except) return true;
    return false;
  }
  bool RemoveFolderIfEmpty(const std::string& p) override {
    calls.push_back("rmdir " + p);
    return false;
  }
  void Progress(int, const std::string&) override {}

 private:
  bool Record(const std::string& call) {
    calls.push_back(call);
    return failing.count(call) == 0;
  }
  Removal Note(const std::string& call) { return Record(call) ? Removal::Removed : Removal::Failed; }
  static std::string Keep(const std::vector<std::string>& keep) {
    std::string out;
    for (const std::string& k : keep) out += " keep " + k;
    return out;
  }
};

std::vector<std::string> Without(std::vector<std::string> calls, const char* prefix) {
  calls.erase(std::remove_if(calls.begin(), calls.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }),
              calls.end());
  return calls;
}

TEST(UninstallRun, OrderKeptUserDataAndSharedFiles) {
  InstallLogEntries log = SampleLog();
  log.gameGuids = {u"{01234567-89AB-CDEF-0123-456789ABCDEF}"};
  log.associations = {{u".zsav", u"Zelkon.Save.1", u"", {{u"open", u"x"}}}};
  log.preExecs = {{u"C:\\pre.exe", u"", u"", false, false}, {u"C:\\agreed.exe", u"", u"", false, true}};
  log.postExecs = {{u"C:\\post.exe", u"", u"", true, false}};
  const UninstallPlan plan = Plan(log);
  ASSERT_TRUE(plan.refusals.empty());

  // Another product's folder beside this one: the shared shortcut stays;
  // the user data stays; the log stays because something failed.
  RecordingSystem system;
  system.folders = {"C:\\Program Files\\Zelkon\\Game", "C:\\Program Files\\Zelkon\\Other"};
  system.failing = {"run C:\\post.exe", "file C:\\Program Files\\Zelkon\\Game\\game.exe"};
  UninstallResult result;
  ASSERT_TRUE(RunPreExecs(plan, false, system, &result));
  ASSERT_TRUE(RunPreExecs(plan, true, system, &result));
  RunUninstall(plan, false, system, &result);
  const std::vector<std::string> expected = {
      "run C:\\pre.exe",
      "run C:\\agreed.exe",
      "assoc .zsav",
      "value HKLM\\Software\\Zelkon\\Game:Path",
      "prune key HKLM\\Software\\Zelkon\\Game",
      "key HKLM\\Software\\Zelkon\\Game keep HKLM\\Software\\Zelkon\\Game\\Player",
      "game {01234567-89AB-CDEF-0123-456789ABCDEF}",
      "file C:\\Program Files\\Zelkon\\Game\\game.exe",
      "file C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zelkon\\Play.lnk",
      "ask C:\\Program Files\\Zelkon except Game",
      "tree C:\\Program Files\\Zelkon\\Game\\Cache keep C:\\Program Files\\Zelkon\\Game\\Saves",
      "run C:\\post.exe",  // fails, but with SilentFail
  };
  EXPECT_EQ(Without(system.calls, "rmdir"), expected);
  EXPECT_EQ(result.outcome, UninstallOutcome::Partial);
  ASSERT_EQ(result.failures.size(), 1u);
  EXPECT_NE(result.failures[0].find("game.exe"), std::string::npos);
  EXPECT_EQ(ExitCodeOf(result.outcome), 1);
  const std::string report = ReportText(plan, result);
  EXPECT_NE(report.find("Could not be removed:\r\n  file C:\\Program Files\\Zelkon\\Game\\game.exe"), std::string::npos);
  EXPECT_NE(report.find("shared, still used by another product: C:\\users\\Public\\Desktop\\Zelkon.lnk"),
            std::string::npos);
  // Empty folders are tried from the deepest up, never a protected one.
  for (const std::string& call : system.calls)
    EXPECT_TRUE(call.rfind("rmdir C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", 0) != 0 ||
                call.size() > std::string("rmdir C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs").size())
        << call;

  // The last product, user data included, nothing failing: the shared file
  // goes, the user data goes, the log goes.
  RecordingSystem last;
  last.folders = {"C:\\Program Files\\Zelkon\\Game"};
  UninstallResult done;
  RunUninstall(plan, true, last, &done);
  const std::vector<std::string> calls = Without(last.calls, "rmdir");
  for (const char* call : {"file C:\\users\\Public\\Desktop\\Zelkon.lnk", "key HKLM\\Software\\Zelkon\\Game",
                           "tree C:\\Program Files\\Zelkon\\Game\\Saves",
                           "file C:\\Program Files\\Zelkon\\Game\\install.log",
                           "file C:\\Program Files\\Zelkon\\Game\\install_props.xml"})
    EXPECT_NE(std::find(calls.begin(), calls.end(), call), calls.end()) << call;
  EXPECT_EQ(done.outcome, UninstallOutcome::Done);
  EXPECT_EQ(ExitCodeOf(done.outcome), 0);

  // A program before the removal that fails without SilentFail stops it all.
  RecordingSystem refused;
  refused.failing = {"run C:\\pre.exe"};
  UninstallResult stopped;
  EXPECT_FALSE(RunPreExecs(plan, false, refused, &stopped));
  EXPECT_EQ(stopped.outcome, UninstallOutcome::Failed);
  EXPECT_EQ(ExitCodeOf(stopped.outcome), 2);
}

}  // namespace
