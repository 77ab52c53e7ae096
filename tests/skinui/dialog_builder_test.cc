#include "skinui/dialog_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "skinui/attribute_parsing.h"
#include "skinui/markup.h"
#include "skinui/skinui.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

const char kSkin[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Window size=\"400,300\" caption=\"2,0,3,30\" roundcorner=\"5,6\">\n"
    "  <Font name=\"ignored\"/>\n"
    "  <VerticalLayout name=\"Root\">\n"
    "    <Button name=\"CloseBtn\" float=\"true\" pos=\"370,4,396,26\" text=\"x\"/>\n"
    "    <Option name=\"Opt\" group=\"g\" selected=\"true\" float=\"true\" pos=\"10,40,60,60\"/>\n"
    "    <Progress name=\"Bar\" float=\"true\" pos=\"10,100,210,110\" max=\"200\" value=\"50\"/>\n"
    "    <Unknown name=\"Skipped\"><Button name=\"Inside\"/></Unknown>\n"
    "  </VerticalLayout>\n"
    "</Window>\n";

class DialogBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousPath_ = CPaintManagerUI::GetResourcePath();
    previousZip_ = CPaintManagerUI::GetResourceZip();
    CPaintManagerUI::SetResourcePath(dir_.path());
    CPaintManagerUI::SetResourceZip("bt.dat");
  }
  void TearDown() override {
    CPaintManagerUI::SetResourcePath(previousPath_);
    CPaintManagerUI::SetResourceZip(previousZip_);
    skinui::DiscardPendingMessages();
  }

  // Builds `name` with a fresh manager; the caller owns the root.
  CControlUI* Build(const std::string& name, CPaintManagerUI* manager = nullptr) {
    CDialogBuilder builder;
    return builder.Create(name, nullptr, nullptr, manager);
  }

  TempDir dir_;
  CStdString previousPath_;
  CStdString previousZip_;
};

TEST_F(DialogBuilderTest, BuildsASkinFromTheArchiveWithItsWindowAttributes) {
  ASSERT_TRUE(testing_support::WriteDeflatedZip(dir_.File("bt.dat"), {{"main.xml", kSkin}}));
  CPaintManagerUI manager;
  CDialogBuilder builder;
  CControlUI* root = builder.Create("main.xml", nullptr, nullptr, &manager);
  ASSERT_NE(root, nullptr);
  manager.AttachDialog(root);

  EXPECT_EQ(manager.GetInitSize().cx, 400);
  EXPECT_EQ(manager.GetInitSize().cy, 300);
  EXPECT_TRUE(manager.GetCaptionRect() == (RECT{2, 0, 3, 30}));
  EXPECT_EQ(manager.GetRoundCorner().cy, 6);

  EXPECT_EQ(root->GetClass(), "VerticalLayoutUI");
  auto* option = static_cast<COptionUI*>(manager.FindControl("Opt"));
  EXPECT_TRUE(option->IsSelected());
  EXPECT_EQ(option->GetGroup(), "g");
  auto* bar = static_cast<CProgressUI*>(manager.FindControl("Bar"));
  EXPECT_EQ(bar->GetMaxValue(), 200);
  EXPECT_EQ(bar->GetValue(), 50);
  EXPECT_EQ(bar->GetFixedXY().cy, 100);
  EXPECT_EQ(bar->GetFixedWidth(), 200);
  for (const char* absent : {"Skipped", "Inside", "ignored"})
    EXPECT_EQ(manager.FindControl(absent), nullptr);
}

TEST_F(DialogBuilderTest, FindsSkinsInTheArchiveInPlainFilesOrAsText) {
  // Archive entries match without case and with either separator.
  ASSERT_TRUE(testing_support::WriteDeflatedZip(dir_.File("bt.dat"), {{"Skins\\Main.XML", kSkin}}));
  CControlUI* root = Build("skins/main.xml");
  EXPECT_NE(root, nullptr);
  delete root;

  CPaintManagerUI::SetResourceZip("");
  WriteFile(dir_.File("plain.xml"), kSkin);
  root = Build("plain.xml");
  EXPECT_NE(root, nullptr);
  delete root;
  EXPECT_EQ(Build("missing.xml"), nullptr);

  root = Build("<Button name=\"Only\"/>");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetName(), "Only");
  delete root;
}

TEST_F(DialogBuilderTest, MissingDamagedOrBadArchivesBuildNothing) {
  EXPECT_EQ(Build("main.xml"), nullptr);  // no archive at all
  ASSERT_TRUE(testing_support::WriteDeflatedZip(dir_.File("bt.dat"), {{"other.xml", kSkin}}));
  EXPECT_EQ(Build("main.xml"), nullptr);

  // An empty skin and a Window without any control.
  ASSERT_TRUE(testing_support::WriteDeflatedZip(
      dir_.File("bt.dat"), {{"empty.xml", ""}, {"bare.xml", "<Window size=\"1,1\"/>"}}));
  EXPECT_EQ(Build("empty.xml"), nullptr);
  EXPECT_EQ(Build("bare.xml"), nullptr);

  // An entry name longer than any skin's: skipped, never read past its buffer.
  ASSERT_TRUE(testing_support::WriteDeflatedZip(
      dir_.File("bt.dat"), {{std::string(1100, 'n'), kSkin}, {"main.xml", kSkin}}));
  std::unique_ptr<CControlUI> built(Build("main.xml"));
  EXPECT_NE(built, nullptr);

  // Garbage instead of a zip.
  WriteFile(dir_.File("bt.dat"), std::string(4096, '\x5a'));
  EXPECT_EQ(Build("main.xml"), nullptr);

  // A cut-off archive.
  ASSERT_TRUE(testing_support::WriteDeflatedZip(dir_.File("bt.dat"), {{"main.xml", kSkin}}));
  const std::string whole = ReadFile(dir_.File("bt.dat"));
  WriteFile(dir_.File("bt.dat"), whole.substr(0, whole.size() / 2));
  EXPECT_EQ(Build("main.xml"), nullptr);

  // Damaged compressed data: inflating fails or the CRC does not match.
  std::string damaged = whole;
  for (size_t i = 60; i < 90 && i < damaged.size(); ++i)
    damaged[i] = static_cast<char>(~damaged[i]);
  WriteFile(dir_.File("bt.dat"), damaged);
  EXPECT_EQ(Build("main.xml"), nullptr);
}

TEST_F(DialogBuilderTest, ElementsTheBuilderDoesNotKnowComeFromTheCallback) {
  struct Callback : IDialogBuilderCallback {
    CControlUI* CreateControl(const char* className) override {
      return std::string(className) == "Custom" ? new CLabelUI : nullptr;
    }
  } callback;
  CDialogBuilder builder;
  CControlUI* root =
      builder.Create("<VerticalLayout><Custom name=\"C\"/><Strange name=\"S\"/></VerticalLayout>",
                     nullptr, &callback);
  ASSERT_NE(root, nullptr);
  EXPECT_NE(root->FindControlByName("C"), nullptr);
  EXPECT_EQ(root->FindControlByName("S"), nullptr);
  delete root;
}

TEST_F(DialogBuilderTest, DeepSkinsAreRefusedInsteadOfOverflowingTheStack) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<VerticalLayout>";
  deep += "<Button name=\"Bottom\"/>";
  for (int i = 0; i < 100000; ++i) deep += "</VerticalLayout>";
  EXPECT_EQ(Build(deep), nullptr);
}

TEST_F(DialogBuilderTest, AParentContainerReceivesTheRoot) {
  CVerticalLayoutUI parent;
  CDialogBuilder builder;
  CControlUI* child = builder.Create("<Button name=\"B\"/>", nullptr, nullptr, nullptr, &parent);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(parent.GetCount(), 1);
  EXPECT_EQ(child->GetParent(), &parent);
}

// ---- The archive the build ships ----

std::string ShippedArchiveDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  std::string path(buffer, length > 0 ? static_cast<size_t>(length) : 0);
  path = path.substr(0, path.rfind('/') + 1);
  return path + "../bin/";
}

struct SkinExpectation {
  const char* file;
  std::map<std::string, std::string> controls;  // name -> class
};

// Every skin file the windows load, with the controls they look up.
std::vector<SkinExpectation> ShippedSkins() {
  const std::map<std::string, std::string> frame = {
      {"CloseBtn", "ButtonUI"},    {"MinBtn", "ButtonUI"},       {"WebBtn", "ButtonUI"},
      {"RegisterBtn", "ButtonUI"}, {"RechargeBtn", "ButtonUI"},  {"ForumBtn", "ButtonUI"},
      {"GameSetBtn", "ButtonUI"},  {"EnterGameBtn", "ButtonUI"}, {"CustServiceBtn", "ButtonUI"},
      {"maxbtn", "ButtonUI"},      {"restorebtn", "ButtonUI"}};
  const std::map<std::string, std::string> update = {
      {"CurVersionTxt", "TextUI"}, {"ProgressTxt", "TextUI"},    {"ProgressCtrl", "ProgressUI"},
      {"ServerBtn", "OptionUI"},   {"ProgressImg", "ControlUI"}, {"FirstServer", "OptionUI"},
      {"DServer", "OptionUI"},     {"WServer", "OptionUI"},      {"FullScreenOption", "OptionUI"}};
  const std::map<std::string, std::string> web = {{"IE", "ActiveXUI"}};
  return {
      {"launcherSkin.xml", frame},
      {"launcherSkin_720.xml", frame},
      {"launcherSkin_600.xml", frame},
      {"server.xml", update},
      {"server_720.xml", update},
      {"server_600.xml", update},
      {"news.xml", web},
      {"news_720.xml", web},
      {"news_600.xml", web},
      {"news2.xml", web},
      {"news2_720.xml", web},
      {"news2_600.xml", web},
      {"top.xml", web},
      {"top_720.xml", web},
      {"top_600.xml", web},
      {"serverList.xml", {{"domainlist", "ListUI"}}},
      {"backGround.xml", {}},
      {"setting.xml",
       {{"FullScreenOption", "OptionUI"},
        {"pel800_600", "OptionUI"},
        {"pel1024_768", "OptionUI"},
        {"pel1280_800", "OptionUI"},
        {"pel1280_768", "OptionUI"},
        {"OkBtn", "ButtonUI"},
        {"CancelBtn", "ButtonUI"}}},
  };
}

TEST_F(DialogBuilderTest, TheShippedArchiveHoldsEveryControlTheWindowsLookUp) {
  const std::string directory = ShippedArchiveDirectory();
  if (ReadFile(directory + "bt.dat").empty()) GTEST_SKIP() << "bt.dat not built";
  CPaintManagerUI::SetResourcePath(directory);

  for (const SkinExpectation& skin : ShippedSkins()) {
    CPaintManagerUI manager;
    CControlUI* root = Build(skin.file, &manager);
    ASSERT_NE(root, nullptr) << skin.file;
    manager.AttachDialog(root);
    EXPECT_GT(manager.GetInitSize().cx, 0) << skin.file;
    for (const auto& [name, cls] : skin.controls) {
      CControlUI* control = manager.FindControl(name.c_str());
      ASSERT_NE(control, nullptr) << skin.file << ": " << name;
      EXPECT_EQ(control->GetClass(), cls) << skin.file << ": " << name;
    }
    if (skin.controls.count("IE")) {
      void* browser = nullptr;
      auto* activeX = static_cast<CActiveXUI*>(manager.FindControl("IE"));
      EXPECT_EQ(activeX->GetControl(IID_IWebBrowser2, &browser), S_OK) << skin.file;
      ASSERT_NE(browser, nullptr);
      static_cast<IWebBrowser2*>(browser)->Release();
    }
  }

  // The frame's skins fit the frame's window; the bar's fixed geometry is
  // what the progress image rides on.
  const struct {
    const char* file;
    int cx, cy;
  } frameSkins[] = {{"launcherSkin.xml", 1000, 690},
                    {"launcherSkin_720.xml", 960, 650},
                    {"launcherSkin_600.xml", 780, 560}};
  for (const auto& skin : frameSkins) {
    CPaintManagerUI manager;
    delete Build(skin.file, &manager);
    EXPECT_EQ(manager.GetInitSize().cx, skin.cx) << skin.file;
    EXPECT_EQ(manager.GetInitSize().cy, skin.cy) << skin.file;
    EXPECT_GT(manager.GetCaptionRect().bottom, 0) << skin.file;
  }
  CPaintManagerUI update0;
  CControlUI* root = Build("server.xml", &update0);
  update0.AttachDialog(root);
  auto* bar = static_cast<CProgressUI*>(update0.FindControl("ProgressCtrl"));
  EXPECT_EQ(bar->GetMaxValue(), 100);
  EXPECT_GT(bar->GetFixedWidth(), 0);
  EXPECT_GT(update0.FindControl("ProgressImg")->GetFixedWidth(), 0);
}

// ---- The looks the shipped skins name ----

// Width and height from a PNG header; zero for anything else.
std::pair<int, int> PngSize(const std::string& data) {
  if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  const auto u32 = [&data](size_t at) {
    return int(uint32_t(uint8_t(data[at])) << 24 | uint32_t(uint8_t(data[at + 1])) << 16 |
               uint32_t(uint8_t(data[at + 2])) << 8 | uint32_t(uint8_t(data[at + 3])));
  };
  return {u32(16), u32(20)};
}

// The text between key and the next single quote of an image value.
std::string Quoted(const std::string& value, const std::string& key) {
  const size_t at = value.find(key);
  if (at == std::string::npos) return "";
  const size_t end = value.find('\'', at + key.size());
  return end == std::string::npos ? "" : value.substr(at + key.size(), end - at - key.size());
}

bool IsColour(const std::string& value) {
  if (value.size() != 7 && value.size() != 9) return false;
  return value[0] == '#' &&
         value.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
}

// Checks the look attributes of `node`, its siblings and their children.
void CheckLooks(CMarkupNode node, const std::set<std::string>& fonts, const std::string& skin) {
  for (; node.IsValid(); node = node.GetSibling()) {
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
      const std::string name = node.GetAttributeName(i), value = node.GetAttributeValue(i);
      const std::string where = skin + " " + node.GetName() + " " + name + "=\"" + value + "\"";
      const auto endsWith = [&name](const char* tail) {
        const size_t n = std::strlen(tail);
        return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
      };
      if (name == "font" || name == "itemfont") {
        EXPECT_EQ(fonts.count(value), 1u) << where;
      }
      if (endsWith("color")) {
        EXPECT_TRUE(IsColour(value)) << where;
      }
      if (!endsWith("image")) continue;
      const bool sliced = value.find("file='") != std::string::npos;
      const std::string file = sliced ? Quoted(value, "file='") : value;
      int corner[4];
      skinui::ParseIntList(Quoted(value, "corner='").c_str(), corner, 4);
      std::string data;
      EXPECT_TRUE(skinui::ReadSkinResource(file, &data)) << where;
      const auto [width, height] = PngSize(data);
      EXPECT_GT(width, 0) << where;
      // The kept corners fit the image, so the middle has something to stretch.
      EXPECT_LE(corner[0] + corner[2], width) << where;
      EXPECT_LE(corner[1] + corner[3], height) << where;
    }
    CheckLooks(node.GetChild(), fonts, skin);
  }
}

TEST_F(DialogBuilderTest, EveryImageFontAndColourOfTheShippedSkinsIsThere) {
  const std::string directory = ShippedArchiveDirectory();
  if (ReadFile(directory + "bt.dat").empty()) GTEST_SKIP() << "bt.dat not built";
  CPaintManagerUI::SetResourcePath(directory);
  for (const SkinExpectation& skin : ShippedSkins()) {
    std::string text;
    ASSERT_TRUE(skinui::ReadSkinResource(skin.file, &text)) << skin.file;
    CMarkup markup;
    ASSERT_TRUE(markup.Load(text)) << skin.file;
    std::set<std::string> fonts;
    for (CMarkupNode child = markup.GetRoot().GetChild(); child.IsValid();
         child = child.GetSibling()) {
      if (std::strcmp(child.GetName(), "Font") == 0) fonts.insert(child.GetAttributeValue("id"));
    }
    CheckLooks(markup.GetRoot(), fonts, skin.file);
  }
}

}  // namespace
