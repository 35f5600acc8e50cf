// The portable arithmetic of the wizard: button layout, painted header,
// property fonts, the install-choice checks and the display-path walks.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "config/defines_parser.h"
#include "wizard/display_path.h"
#include "wizard/install_choices.h"
#include "wizard/page_geometry.h"
#include "wizard/property_font.h"

namespace {

class WizardVariables : public ::testing::Test {
 protected:
  void SetUp() override { MainVariables().Clear(); }
  void TearDown() override { MainVariables().Clear(); }
  void Set(const char16_t* name, const char16_t* value) { MainVariables().SetVariable(name, value); }
};

TEST(ButtonLayout, WidthsAndPlacesFollowTheDialogUnit) {
  struct Case {
    int unit, widest, client, count;
    int width;
    std::vector<int> lefts;
  } cases[] = {
      // 30u + m rounded up to 4; the last button ends 6u from the right.
      {1, 40, 384, 3, 72, {138, 222, 306}},
      {1, 40, 384, 1, 72, {306}},
      {2, 33, 500, 2, 96, {272, 392}},
      {2, 36, 500, 2, 96, {272, 392}},
      {3, 0, 300, 1, 92, {190}},
  };
  for (const Case& c : cases) {
    const int width = LaidOutButtonWidth(c.unit, c.widest);
    EXPECT_EQ(width, c.width) << c.unit << " " << c.widest;
    EXPECT_EQ(RightAlignedButtonLefts(c.client, c.unit, width, c.count), c.lefts);
    EXPECT_EQ(RightAlignedButtonLefts(c.client, c.unit, width, c.count).back() + width, c.client - 6 * c.unit);
  }
  EXPECT_EQ(LeftButtonLeft(2), 12);
  EXPECT_EQ(SpreadRightButtonLeft(500, 2, 96), 392);
}

TEST(PageHeader, BandsAndProductFrame) {
  EXPECT_EQ(FooterDepth(96), 34);
  EXPECT_EQ(FooterDepth(120), 42);
  const std::vector<PaintRect> bands = PageBands(384, 300, 34);
  ASSERT_EQ(bands.size(), 6u);
  struct Expected {
    int left, top, right, bottom;
    uint8_t grey;
  } expected[] = {{0, 0, 384, 76, 191},  {0, 76, 384, 77, 125},  {0, 77, 384, 78, 255},
                  {0, 78, 384, 268, 218}, {0, 265, 384, 266, 255}, {0, 266, 384, 300, 191}};
  for (size_t i = 0; i < bands.size(); ++i) {
    EXPECT_EQ(bands[i].left, expected[i].left);
    EXPECT_EQ(bands[i].top, expected[i].top) << i;
    EXPECT_EQ(bands[i].right, expected[i].right);
    EXPECT_EQ(bands[i].bottom, expected[i].bottom) << i;
    EXPECT_EQ(ColourValue(bands[i].colour).g, expected[i].grey) << i;
  }
  // A 48 x 48 product bitmap: panel from x 315 to 373, y 5 to 63.
  const std::vector<PaintRect> frame = ProductFrame(384, 48, 48);
  ASSERT_EQ(frame.size(), 13u);
  EXPECT_EQ(frame[0].left, 315);
  EXPECT_EQ(frame[0].right, 373);
  EXPECT_EQ(frame[0].bottom, 63);
  EXPECT_EQ(ColourValue(frame[0].colour).r, 218);
  EXPECT_EQ(frame[6].right, 372);  // white top line, L+1 .. R-1
  EXPECT_EQ(ProductBitmapLeft(384, 48), 320);
  EXPECT_EQ(ProductBitmapTop(), 10);
}

// At any DPI the header keeps its shape: the lines at least a pixel wide, the
// sample's 45 x 60 product bitmap (as drawn, scaled) inside the panel's inner
// lines, and the panel above the band's dark line.
TEST(PageHeader, ScalesWithTheDpi) {
  struct Case {
    int dpi, band, line, depth;
    RetailerItemLayout item;
  } cases[] = {
      {96, 76, 1, 34, {18, 16, 2, 1, 20}},   {120, 95, 1, 42, {22, 20, 2, 1, 25}},
      {144, 114, 1, 51, {27, 24, 3, 1, 30}}, {192, 152, 2, 68, {36, 32, 4, 2, 40}},
      {288, 228, 3, 102, {54, 48, 6, 3, 60}},
  };
  const int w = 600, h = 500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    const std::vector<PaintRect> bands = PageBands(w, h, FooterDepth(c.dpi), c.dpi);
    EXPECT_EQ(bands[0].bottom, c.band);
    EXPECT_EQ(bands[1].bottom - bands[1].top, c.line);
    EXPECT_EQ(bands[2].top, bands[1].bottom);
    EXPECT_EQ(bands[5].top, h - c.depth);
    EXPECT_EQ(bands[4].bottom, bands[5].top);
    const RetailerItemLayout item = RetailerItemForDpi(c.dpi);
    EXPECT_EQ(std::vector<int>({item.height, item.iconSize, item.iconLeft, item.iconTop, item.textIndent}),
              std::vector<int>({c.item.height, c.item.iconSize, c.item.iconLeft, c.item.iconTop, c.item.textIndent}));
    EXPECT_LE(item.iconTop + item.iconSize, item.height);
    EXPECT_LE(item.iconLeft + item.iconSize, item.textIndent);

    const int bw = ScaleForDpi(45, c.dpi), bh = ScaleForDpi(60, c.dpi);
    const std::vector<PaintRect> frame = ProductFrame(w, bw, bh, c.dpi);
    const int x = ProductBitmapLeft(w, bw, c.dpi), y = ProductBitmapTop(c.dpi);
    const PaintRect& panel = frame[0];
    for (const PaintRect& p : frame) {
      EXPECT_GE(std::min(p.right - p.left, p.bottom - p.top), c.line) << &p - frame.data();
      EXPECT_GE(p.left, panel.left);
      EXPECT_LE(p.right, panel.right + c.line);  // the outer white line lies beside the panel
      EXPECT_LE(p.bottom, bands[1].top) << &p - frame.data();
    }
    // The raised inner lines end where the bitmap begins, on every side.
    EXPECT_EQ(frame[12].right, x);
    EXPECT_EQ(frame[11].bottom, y);
    EXPECT_EQ(frame[9].left, x + bw);
    EXPECT_EQ(frame[10].top, y + bh);
  }
  EXPECT_EQ(ScaleForDpi(45, 144), 67);  // rounded down
}

TEST_F(WizardVariables, PropertyFontsReadSizeAndWeightOnlyWithAFace) {
  struct Case {
    std::map<std::u16string, std::u16string> properties;
    std::u16string face;
    int points;
    bool bold;
  } cases[] = {
      {{}, u"Arial", 16, true},
      {{{u"HEADER_FONT_FACE", u"Tahoma"}}, u"Tahoma", 16, true},
      {{{u"HEADER_FONT_FACE", u"Tahoma"}, {u"HEADER_FONT_SIZE", u"12"}, {u"HEADER_FONT_BOLD", u"y"}}, u"Tahoma", 12,
       true},
      {{{u"HEADER_FONT_FACE", u"Tahoma"}, {u"HEADER_FONT_BOLD", u"Yes"}}, u"Tahoma", 16, true},
      {{{u"HEADER_FONT_FACE", u"Tahoma"}, {u"HEADER_FONT_BOLD", u"no"}}, u"Tahoma", 16, false},
      {{{u"HEADER_FONT_FACE", u"Tahoma"}, {u"HEADER_FONT_BOLD", u"0"}}, u"Tahoma", 16, false},
      // Without a face the size property is not read.
      {{{u"HEADER_FONT_SIZE", u"30"}, {u"HEADER_FONT_BOLD", u"no"}}, u"Arial", 16, true},
      {{{u"HEADER_FONT_FACE", u"%Face%"}, {u"FACE", u"Verdana"}}, u"Verdana", 16, true},
  };
  for (const Case& c : cases) {
    MainVariables().Clear();
    for (const auto& p : c.properties) Set(p.first.c_str(), p.second.c_str());
    const FontRequest r = PropertyFontRequest(u"HEADER_FONT", u"Arial", 16, true);
    EXPECT_EQ(Narrow(r.face), Narrow(c.face));
    EXPECT_EQ(r.points, c.points) << Narrow(c.face);
    EXPECT_EQ(r.bold, c.bold) << Narrow(c.face);
  }
  MainVariables().Clear();
  Set(u"EDIT_FONT_FACE", u"Courier New");
  EXPECT_EQ(PropertyFontRequest(u"EDIT_FONT", u"", 0, false).points, 0);
  EXPECT_TRUE(PropertyFontRequest(u"DIALOG_FONT", u"", 0, false).face.empty());
  EXPECT_EQ(FontPixelHeight(16, 96), 21);
  EXPECT_EQ(FontPixelHeight(8, 120), 13);
}

TEST(InstallChoices, ChecksRunInOrderWithTheirMessages) {
  ChoiceInputs inputs;
  inputs.requiredSpace = 1000;
  inputs.freeSpace = [](const std::string& root) -> int64_t {
    return root == "C:\\" ? 5000 : root == "D:\\" ? 10 : -1;
  };
  struct Case {
    const char* path;
    const char16_t* group;
    ChoiceFault fault;
  } cases[] = {
      {"C:\\Games", u"My Games\\Arcade", ChoiceFault::kNone},
      {"C:/Games/", u"Zelkon", ChoiceFault::kNone},
      {"\\\\server\\share", u"G", ChoiceFault::kDoubleSlash},
      {"C:\\Games//x", u"G", ChoiceFault::kDoubleSlash},
      {"Games", u"G", ChoiceFault::kNoDrive},
      {"C:Games", u"G", ChoiceFault::kNoDrive},
      {"C:", u"G", ChoiceFault::kNoDrive},
      {"C:\\Ga&mes", u"G", ChoiceFault::kPathCharacter},
      {"C:\\Ga%mes", u"G", ChoiceFault::kPathCharacter},
      {"C:\\Ga\tmes", u"G", ChoiceFault::kPathCharacter},
      {"C:\\Ga\xe9mes", u"G", ChoiceFault::kNone},  // bytes above 127 pass
      {"C:\\Games", u"", ChoiceFault::kGroupEmpty},
      {"C:\\Games", u"Caf\u0101", ChoiceFault::kGroupEmpty},
      {"C:\\Games", u"A:B", ChoiceFault::kGroupCharacter},
      {"C:\\Games", u"Lantern & Key", ChoiceFault::kGroupCharacter},
      {"Q:\\Games", u"G", ChoiceFault::kDriveUnreadable},
      {"D:\\Games", u"G", ChoiceFault::kDriveTooSmall},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckInstallChoices(c.path, c.group, inputs), c.fault) << c.path;

  EXPECT_EQ(InstallDriveRoot("C:\\Games\\x"), "C:\\");
  EXPECT_EQ(InstallDriveRoot("C:/Games"), "C:\\");
  const ChoiceMessage drive = MessageFor(ChoiceFault::kNoDrive);
  EXPECT_EQ(Narrow(drive.caption), "%INVALID_PATH_TITLE%");
  EXPECT_EQ(Narrow(drive.text), "%INVALID_PATH_DRIVE_TEXT%");
  EXPECT_EQ(Narrow(MessageFor(ChoiceFault::kDriveTooSmall).text), "%DRIVE_NOT_SUFFICIENT%");
  EXPECT_EQ(Narrow(MessageFor(ChoiceFault::kGroupCharacter).text), "%INVALID_STARTMENU_CHARACTER_TEXT%");
}

TEST_F(WizardVariables, PassingChoicesKeepRawValuesWithoutTrailingSlash) {
  Set(u"Base", u"C:\\Games");
  Set(u"InstallPath", u"%Base%\\Star\\");
  Set(u"InstallGroup", u"Zelkon/");
  ChoiceInputs inputs;
  inputs.freeSpace = [](const std::string&) -> int64_t { return 1 << 30; };
  inputs.toFileSystemPath = [](const std::string& path) { return path + "\\"; };  // seen as called
  ASSERT_EQ(ValidateInstallChoices(MainVariables(), inputs), ChoiceFault::kNone);
  EXPECT_EQ(Narrow(MainVariables().GetVariable(u"InstallPath")), "%Base%\\Star\\");
  EXPECT_EQ(Narrow(MainVariables().GetVariable(u"InstallGroup")), "Zelkon");

  Set(u"InstallPath", u"%Base%\\\\Star");
  EXPECT_EQ(ValidateInstallChoices(MainVariables(), inputs), ChoiceFault::kDoubleSlash);
  EXPECT_EQ(Narrow(MainVariables().GetVariable(u"InstallPath")), "%Base%\\\\Star");  // untouched
}

// A shell with localized names and folders held in maps.
class FakeShell : public ShellNames {
 public:
  bool available = true;
  std::map<std::u16string, std::u16string> names;  // real path -> localized name
  std::map<std::u16string, std::vector<FolderEntry>> folders;
  bool Available() const override { return available; }
  WString UserProfilesFolder() override { return u"C:\\USERS"; }
  bool LocalizedName(const WString& folder, WString* name) override {
    auto it = names.find(folder);
    if (it == names.end()) return false;
    *name = it->second;
    return true;
  }
  bool ListFolder(const WString& folder, std::vector<FolderEntry>* entries) override {
    auto it = folders.find(folder);
    if (it == folders.end()) return false;
    *entries = it->second;
    return true;
  }
};

TEST(DisplayPaths, LocalizedNamesThereAndBack) {
  FakeShell shell;
  shell.names = {{u"C:\\Program Files", u"Programme"},
                 {u"C:\\Documents and Settings", u"Benutzer"},
                 {u"C:\\Program Files\\Spiele", u"Games"}};
  shell.folders = {
      {u"C:", {{u"."}, {u".."}, {u"MyProgramme"}, {u"Program Files"}, {u"Users"}}},
      {u"C:\\Program Files", {{u"Spiele", true}, {u"Games"}, {u"Other"}}},
  };
  struct Case {
    const char* path;
    const char* display;
  } display_cases[] = {
      {"C:\\Program Files\\Zelkon", "C:\\Programme\\Zelkon"},
      {"C:/Program Files/", "C:\\Programme"},
      {"C:\\Users\\ann", "C:\\Benutzer\\ann"},
      {"D:\\Games", "D:\\Games"},
  };
  for (const Case& c : display_cases) EXPECT_EQ(ToDisplayPath(shell, c.path), c.display) << c.path;

  struct Back {
    const char* typed;
    const char* real;
  } back_cases[] = {
      // "MyProgramme" also ends with "Programme" but is another folder.
      {"C:\\programme\\Zelkon", "C:\\Program Files\\Zelkon"},
      // A plain entry wins over a reparse point of the same display name.
      {"C:\\Programme\\Games", "C:\\Program Files\\Games"},
      {"C:\\Programme\\Other\\deep\\", "C:\\Program Files\\Other\\deep\\"},
      {"C:\\New\\Folder\\", "C:\\New\\Folder\\"},
      {"Games/x", "Games\\x"},
  };
  for (const Back& b : back_cases) EXPECT_EQ(ToFileSystemPath(shell, b.typed), b.real) << b.typed;

  shell.available = false;
  EXPECT_EQ(ToDisplayPath(shell, "C:/Program Files"), "C:/Program Files");
  EXPECT_EQ(ToFileSystemPath(shell, "C:/Programme"), "C:/Programme");
}

}  // namespace
