#include "engine/install_manifest.h"

#include <gtest/gtest.h>

namespace {

InstallManifest Example() {
  InstallManifest m;
  m.installerId = std::string(64, 'a');
  m.state = ManifestState::kComplete;
  m.root = "C:\\Games\\Star Courier";
  ManifestFile f;
  f.sha256.fill(0x0F);
  f.size = 12345678901ull;
  f.path = "C:\\Games\\Star Courier\\data\\big world.pak";
  m.files.push_back(f);
  f.size = 0;
  f.path = "C:\\Games\\Star Courier\\game.exe";
  m.files.push_back(f);
  return m;
}

TEST(InstallManifest, FormatsAndParsesBack) {
  const std::string text = FormatManifest(Example());
  EXPECT_EQ(text.compare(0, 36, "zelmanifest 1\ninstaller aaaaaaaaaaaa"), 0) << text;
  EXPECT_NE(text.find("\nstate complete\nroot C:\\Games\\Star Courier\nfile 0f0f"), std::string::npos) << text;
  EXPECT_NE(text.find(" 12345678901 C:\\Games\\Star Courier\\data\\big world.pak\n"), std::string::npos) << text;
  InstallManifest back;
  ASSERT_EQ(ParseManifest(text, &back), ManifestError::kNone);
  EXPECT_EQ(back.installerId, std::string(64, 'a'));
  EXPECT_EQ(back.state, ManifestState::kComplete);
  EXPECT_EQ(back.root, "C:\\Games\\Star Courier");
  ASSERT_EQ(back.files.size(), 2u);
  EXPECT_EQ(back.files[0].path, "C:\\Games\\Star Courier\\data\\big world.pak");
  EXPECT_EQ(back.files[0].size, 12345678901ull);
  EXPECT_EQ(back.files[1].sha256, Example().files[1].sha256);
  EXPECT_EQ(FormatManifest(back), text);
}

// A line replaced (or text changed) in a manifest whose end line is made
// right again where the case is about the line itself.
std::string Resealed(std::string body) {
  return body + "end " + base::Sha256Hex(base::Sha256Of(body.data(), body.size())) + "\n";
}

TEST(InstallManifest, EachDamageIsNamed) {
  const std::string good = FormatManifest(Example());
  const std::string body = good.substr(0, good.rfind("end "));
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string b = body;
    return Resealed(b.replace(b.find(from), from.size(), to));
  };
  struct Case {
    const char* what;
    std::string text;
    ManifestError error;
  } cases[] = {
      {"empty", "", ManifestError::kBadHeader},
      {"another file", "[InstallLog]\n", ManifestError::kBadHeader},
      {"version 2", replaced("zelmanifest 1", "zelmanifest 2"), ManifestError::kUnknownVersion},
      {"state unknown", replaced("state complete", "state done"), ManifestError::kBadLine},
      {"lines out of order", replaced("root ", "rooot "), ManifestError::kBadLine},
      {"CR line ends", replaced("state complete", "state complete\r"), ManifestError::kBadLine},
      {"size not decimal", replaced(" 12345678901 ", " 0x10 "), ManifestError::kBadLine},
      {"size past 64 bits", replaced(" 12345678901 ", " 18446744073709551616 "), ManifestError::kBadLine},
      {"file without a path", replaced(" 12345678901 C:", " 12345678901"), ManifestError::kBadLine},
      {"upper-case hash", replaced("file 0f0f", "file 0F0f"), ManifestError::kBadHash},
      {"short installer id", replaced("installer aa", "installer "), ManifestError::kBadHash},
      {"cut short", good.substr(0, good.size() - 10), ManifestError::kNoEnd},
      {"no end line", body, ManifestError::kNoEnd},
      {"bytes after the end", good + "file x\n", ManifestError::kTrailingBytes},
      {"size edited", [&] {
         std::string t = good;
         return t.replace(t.find(" 12345678901 "), 13, " 12345678900 ");
       }(), ManifestError::kCheckMismatch},
      {"state edited", [&] {
         std::string t = good;
         return t.replace(t.find("state complete"), 14, "state incomplete");
       }(), ManifestError::kCheckMismatch},
  };
  for (const Case& c : cases) {
    InstallManifest m;
    EXPECT_EQ(ParseManifest(c.text, &m), c.error) << c.what;
  }
}

TEST(InstallManifest, PathsBesideTheLogAndAsInstalled) {
  const char* const logs[][2] = {
      {"C:\\Games\\X\\Uninstall\\install.log", "C:\\Games\\X\\Uninstall\\install_manifest.txt"},
      {"C:\\Games\\X.v2\\install", "C:\\Games\\X.v2\\install_manifest.txt"},
      {"C:\\Games\\X\\a.b.log", "C:\\Games\\X\\a.b_manifest.txt"},
      {"install", "install_manifest.txt"},
  };
  for (const auto& c : logs) EXPECT_EQ(ManifestPathFor(c[0]), c[1]) << c[0];
  EXPECT_EQ(InstalledPathOf("C:\\Games\\X\\", "files\\data\\a.pak"), "C:\\Games\\X\\data\\a.pak");
}

}  // namespace
