// "mkinstaller init DIR": a complete, working starting point for a new
// product: DIR/cfg with every UI text defined, the defines, a commented
// install.xml, a license, a readme and the two header bitmaps, and DIR/files
// with a placeholder. "check" passes on it and "build" packs it at once.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/property_languages.h"
#include "tools/mkinstaller/subcommand.h"
#include "tools/mkinstaller/ui_texts.h"
#include "uninstaller/uninstall_texts.h"
#include "xml/entities.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller init DIR [--name NAME] [--publisher NAME] [--languages TAG,...]\n"
    "\n"
    "Writes a new installer project: DIR/cfg (props.xml with every UI text,\n"
    "defines.xml, install.xml, license.txt, readme.txt, logo.bmp, product.bmp)\n"
    "and DIR/files (the product; a placeholder readme.txt to start with).\n"
    "NAME defaults to \"My Game\", the publisher to \"My Company\"; both become\n"
    "part of folder and registry names. DIR/cfg and DIR/files must not exist yet.\n"
    "--languages de,ja writes a property table per language tag beside props.xml\n"
    "(cfg/props.de.xml, cfg/props.ja.xml), to be translated; the installer picks\n"
    "the one of the player's UI language, and the uninstaller follows it.\n"
    "Then:\n"
    "  mkinstaller check DIR/cfg --files DIR/files --with-uninstaller\n"
    "  mkinstaller build --cfg DIR/cfg --files DIR/files --with-uninstaller -o Setup.exe\n";

// Header bitmap sizes in pixels: the logo sits in the 76-pixel header band at
// its left, the product picture in its framed panel at the right.
constexpr int kLogoWidth = 120, kLogoHeight = 60;
constexpr int kProductWidth = 90, kProductHeight = 120;

std::string Xml(const std::string& text) { return BrioCommon::EncodeEntities(text); }

std::string PropsXml(const std::string& language = std::string()) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- Every text the installer's pages and messages show. %InstallName% and\n"
      "     the other defines may be used in any of them; \"&cr;\" is a line break.\n";
  if (language.empty())
    out +=
        "     An ID left out keeps the installer's built-in text where it has one,\n"
        "     and is empty otherwise ('mkinstaller check' warns about those). -->\n";
  else
    out += "     The texts for language '" + language +
           "', shown when it is the player's UI language\n"
           "     (or forced with -language=" + language +
           "). Translate them; an ID left out is shown\n"
           "     from props.xml. The UNINSTALL_ texts are the uninstaller's. -->\n";
  out += "<Properties>";
  const char* group = "";
  for (const UiText& text : UiTexts()) {
    if (std::string(group) != text.group) {
      group = text.group;
      out += std::string("\n  <!-- ") + group + " -->\n";
    }
    out += std::string("  <String id=\"") + text.id + "\">" + Xml(StarterText(text)) + "</String>\n";
  }
  if (!language.empty()) {
    out += "\n  <!-- Uninstaller -->\n";
    for (const UninstallTextEntry& text : UninstallTextTable())
      out += std::string("  <String id=\"") + text.id + "\">" + Xml(text.english) + "</String>\n";
  }
  return out + "</Properties>\n";
}

std::string DefinesXml(const std::string& name, const std::string& publisher) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<!-- Variables for every text of the configuration, as %Name%. InstallPath\n"
         "     and InstallGroup are the defaults the player may change; Publisher and\n"
         "     Version show in Add/Remove Programs. 'mkinstaller build --define\n"
         "     NAME=VALUE' overrides any of them for one build. -->\n"
         "<Defines>\n"
         "  <Define><Name>InstallName</Name><Value>" + Xml(name) + "</Value></Define>\n"
         "  <Define><Name>GameName</Name><Value>%InstallName%</Value></Define>\n"
         "  <Define><Name>Publisher</Name><Value>" + Xml(publisher) + "</Value></Define>\n"
         "  <Define><Name>Version</Name><Value>1.0</Value></Define>\n"
         "  <Define><Name>InstallGroup</Name><Value>%Publisher%\\%InstallName%</Value></Define>\n"
         "  <Define><Name>InstallPath</Name><Value>%ProgramFiles%\\%Publisher%\\%InstallName%</Value></Define>\n"
         "</Defines>\n";
}

const char kInstallXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- What the install does besides copying files\\ into %InstallPath%. Texts\n"
    "     may use the defines and the built-in folders: %ProgramFiles%, %Desktop%,\n"
    "     %CommonDesktop%, %StartMenu%, %AppFolder% (the chosen start menu folder),\n"
    "     %TempInstallerDir% (where cfg\\ was unpacked) and more. -->\n"
    "<InstallConfig>\n"
    "  <!-- Everything the install writes is logged here for the uninstaller. -->\n"
    "  <InstallLog>%InstallPath%\\Uninstall\\install.log</InstallLog>\n"
    "\n"
    "  <!-- The Add/Remove Programs entry runs this. 'mkinstaller build\n"
    "       --with-uninstaller' packs the uninstaller at the path it names. -->\n"
    "  <UninstallCmd>\"%InstallPath%\\Uninstall\\Uninstall.exe\" \"%InstallPath%\\Uninstall\\install.log\"</UninstallCmd>\n"
    "\n"
    "  <!-- The program the finish page offers to start, once files\\ holds it:\n"
    "  <RunExe>%InstallPath%\\Game.exe</RunExe> -->\n"
    "\n"
    "  <!-- Saved games and settings: kept by the uninstaller unless the player\n"
    "       agrees to remove them. -->\n"
    "  <UserDirectory>%InstallPath%\\SaveGames</UserDirectory>\n"
    "\n"
    "  <!-- Registry values; TypeNum 0 is text, 1 a number, 2 hexadecimal bytes. -->\n"
    "  <Registry>\n"
    "    <RegValue>\n"
    "      <Key>HKLM\\SOFTWARE\\%Publisher%\\%InstallName%</Key>\n"
    "      <Name>InstallPath</Name>\n"
    "      <TypeNum>0</TypeNum>\n"
    "      <Value>%InstallPath%</Value>\n"
    "    </RegValue>\n"
    "  </Registry>\n"
    "\n"
    "  <!-- Shortcuts; Dest without \".lnk\". A Target starting with http:// makes\n"
    "       an internet shortcut. -->\n"
    "  <Shortcuts>\n"
    "    <Shortcut>\n"
    "      <Dest>%AppFolder%\\Read Me</Dest>\n"
    "      <Target>%InstallPath%\\readme.txt</Target>\n"
    "    </Shortcut>\n"
    "  </Shortcuts>\n"
    "\n"
    "  <!-- Programs run before the files are copied (a runtime, say) and after;\n"
    "       files of cfg\\ are in %TempInstallerDir%.\n"
    "  <PreExec>\n"
    "    <Exe>%TempInstallerDir%\\redist.exe</Exe>\n"
    "    <Params>/quiet</Params>\n"
    "    <StatusMessage>Installing the runtime...</StatusMessage>\n"
    "    <ReturnCodes><Success>3010</Success></ReturnCodes>\n"
    "  </PreExec>\n"
    "  -->\n"
    "\n"
    "  <!-- Files the player opens with the game:\n"
    "  <FileAssociations>\n"
    "    <FileAssociation>\n"
    "      <FileExtension>.sav</FileExtension>\n"
    "      <VersionedName>MyCompany.MyGame.Save.1</VersionedName>\n"
    "      <IconLocation>%InstallPath%\\Game.exe,0</IconLocation>\n"
    "      <ShellCommand><Name>open</Name><Command>\"%InstallPath%\\Game.exe\" \"%1\"</Command></ShellCommand>\n"
    "    </FileAssociation>\n"
    "  </FileAssociations>\n"
    "  -->\n"
    "</InstallConfig>\n";

void PutLE(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit bottom-up bitmap file of a two-colour gradient, as a placeholder.
std::string GradientBitmap(int width, int height, bool horizontal) {
  const int row = (width * 3 + 3) & ~3;
  const uint32_t image = static_cast<uint32_t>(row * height);
  std::string out = "BM";
  PutLE(&out, 54 + image, 4);
  PutLE(&out, 0, 4);
  PutLE(&out, 54, 4);
  PutLE(&out, 40, 4);
  PutLE(&out, static_cast<uint32_t>(width), 4);
  PutLE(&out, static_cast<uint32_t>(height), 4);
  PutLE(&out, 1, 2);
  PutLE(&out, 24, 2);
  PutLE(&out, 0, 4);
  PutLE(&out, image, 4);
  PutLE(&out, 2835, 4);
  PutLE(&out, 2835, 4);
  PutLE(&out, 0, 4);
  PutLE(&out, 0, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int t = horizontal ? x * 255 / (width - 1) : y * 255 / (height - 1);
      out.push_back(static_cast<char>(160 + t * 95 / 255));  // blue
      out.push_back(static_cast<char>(60 + t / 2));          // green
      out.push_back(static_cast<char>(30 + t / 4));          // red
    }
    out.append(static_cast<size_t>(row - width * 3), '\0');
  }
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool MakeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return !error;
}

}  // namespace

int InitCommand(int argc, char** argv) {
  std::string dir, name = "My Game", publisher = "My Company";
  std::vector<std::string> languages;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if ((arg == "--name" || arg == "--publisher") && i + 1 < argc) {
      (arg == "--name" ? name : publisher) = argv[++i];
    } else if (arg == "--languages" && i + 1 < argc) {
      for (const std::string& tag : Split(argv[++i], ',')) {
        if (LanguageOfTableName(TableNameOfLanguage(tag)).empty()) {
          std::fprintf(stderr, "mkinstaller init: '%s' is no language tag (such as de, pt-BR)\n", tag.c_str());
          return kExitUsage;
        }
        languages.push_back(tag);
      }
    } else if (dir.empty() && !(arg.size() > 1 && arg[0] == '-')) {
      dir = arg;
    } else {
      std::fprintf(stderr, "mkinstaller init: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (dir.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  // Both names become parts of folder and registry paths.
  for (const std::string* text : {&name, &publisher}) {
    if (text->empty() || text->find_first_of("\\/:*?\"<>|%") != std::string::npos) {
      std::fprintf(stderr, "mkinstaller init: '%s' cannot be part of a folder name\n", text->c_str());
      return kExitUsage;
    }
  }
  const std::string cfg = dir + "/cfg", files = dir + "/files";
  for (const std::string& folder : {cfg, files}) {
    if (Exists(folder)) {
      std::fprintf(stderr, "mkinstaller init: '%s' already exists; nothing written\n", folder.c_str());
      return kExitFailure;
    }
  }
  const std::string license =
      "License agreement for " + name + "\n\nReplace this text with the license the player must accept.\n";
  const std::string readme = name + "\n\nReplace this file with the product's own readme.\n";
  std::vector<std::pair<std::string, std::string>> outputs = {
      {cfg + "/props.xml", PropsXml()},
      {cfg + "/defines.xml", DefinesXml(name, publisher)},
      {cfg + "/install.xml", kInstallXml},
      {cfg + "/license.txt", license},
      {cfg + "/readme.txt", readme},
      {cfg + "/logo.bmp", GradientBitmap(kLogoWidth, kLogoHeight, true)},
      {cfg + "/product.bmp", GradientBitmap(kProductWidth, kProductHeight, false)},
      {files + "/readme.txt", readme},
  };
  // With the UTF-8 byte-order mark: without one the installer reads the
  // translated texts byte by byte as 8-bit characters.
  for (const std::string& tag : languages)
    outputs.push_back({cfg + "/" + TableNameOfLanguage(tag), "\xEF\xBB\xBF" + PropsXml(tag)});
  if (!MakeFolder(cfg) || !MakeFolder(files)) {
    std::fprintf(stderr, "mkinstaller init: cannot make the folders under '%s'\n", dir.c_str());
    return kExitFailure;
  }
  for (const auto& output : outputs) {
    std::ofstream out(output.first, std::ios::binary | std::ios::trunc);
    out << output.second;
    out.close();
    if (!out) {
      std::fprintf(stderr, "mkinstaller init: cannot write '%s'\n", output.first.c_str());
      return kExitFailure;
    }
  }
  std::printf("wrote %s and %s; next:\n  mkinstaller check %s --files %s --with-uninstaller\n"
              "  mkinstaller build --cfg %s --files %s --with-uninstaller -o Setup.exe\n",
              cfg.c_str(), files.c_str(), cfg.c_str(), files.c_str(), cfg.c_str(), files.c_str());
  return kExitOk;
}
