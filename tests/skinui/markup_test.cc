#include "skinui/markup.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

TEST(MarkupTest, ReadsElementsAndAttributesInDocumentOrder) {
  CMarkup markup;
  ASSERT_TRUE(
      markup.Load("<velmor>\n"
                  "  <area pid=\" 7\" name='North'>\n"
                  "    <server sid=\"1\" name=\"A\" address=\"10.0.0.1\" port=\"7000\"/>\n"
                  "    <server sid=\"2\"></server>\n"
                  "  </area>\n"
                  "  <other/>\n"
                  "</velmor>"));
  CMarkupNode root = markup.GetRoot();
  EXPECT_FALSE(root.HasAttributes());
  CMarkupNode area = root.GetChild();
  ASSERT_EQ(area.GetAttributeCount(), 2);
  EXPECT_STREQ(area.GetAttributeName(0), "pid");
  EXPECT_STREQ(area.GetAttributeValue(0), " 7");
  EXPECT_STREQ(area.GetAttributeValue("name"), "North");

  CMarkupNode first = area.GetChild();
  EXPECT_STREQ(first.GetAttributeValue(3), "7000");
  EXPECT_STREQ(first.GetAttributeValue("Address"), "");  // names are case-sensitive
  EXPECT_FALSE(first.GetSibling().GetSibling().IsValid());
  EXPECT_STREQ(root.GetChild("other").GetName(), "other");
  EXPECT_FALSE(root.GetChild("missing").IsValid());
}

TEST(MarkupTest, DecodesEntitiesCharacterReferencesAndCData) {
  CMarkup markup;
  ASSERT_TRUE(markup.Load(
      "<a t=\"&lt;&gt;&amp;&apos;&quot; &#65;&#x42;&#x4e2d;\">x &amp; y<![CDATA[<raw&>]]></a>"));
  EXPECT_STREQ(markup.GetRoot().GetAttributeValue("t"), "<>&'\" AB\xE4\xB8\xAD");
  EXPECT_STREQ(markup.GetRoot().GetValue(), "x & y<raw&>");
}

TEST(MarkupTest, SkipsDeclarationCommentsDoctypeAndByteOrderMark) {
  CMarkup markup;
  ASSERT_TRUE(
      markup.Load("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<!DOCTYPE w [ <!ELEMENT w ANY> ]>\n<!-- note -->\n<w><!-- inner "
                  "--><c/></w>\n<!-- tail -->\n"));
  EXPECT_STREQ(markup.GetRoot().GetName(), "w");
  EXPECT_STREQ(markup.GetRoot().GetChild().GetName(), "c");
}

TEST(MarkupTest, ReadsUtf16WithByteOrderMark) {
  // <w n="中"/> in UTF-16LE.
  const std::string utf16("\xFF\xFE<\0w\0 \0n\0=\0\"\0\x2d\x4e\"\0/\0>\0", 22);
  CMarkup markup;
  ASSERT_TRUE(markup.LoadFromMem(utf16.data(), utf16.size()));
  EXPECT_STREQ(markup.GetRoot().GetAttributeValue("n"), "\xE4\xB8\xAD");
}

TEST(MarkupTest, RejectsDocumentsThatAreNotWellFormed) {
  const char* bad[] = {
      "",
      "   ",
      "plain text",
      "<a>",
      "<a></b>",
      "<a><b></a></b>",
      "<a/><b/>",
      "<a/>trailing",
      "<a x=1/>",
      "<a x=\"1/>",
      "<a x=\"<\"/>",
      "<a x=\"1\"y=\"2\"/>",
      "<a x/>",
      "<1a/>",
      "< a/>",
      "<a>&unknown;</a>",
      "<a>&#xZZ;</a>",
      "<a>&#0;</a>",
      "<a>&#x110000;</a>",
      "<a>&amp</a>",
      "<a><!-- open</a>",
      "<a><![CDATA[open</a>",
      "<?xml version=\"1.0\"",
      "<!DOCTYPE a [ <!ENTITY e \"x\"> ]><a>&e;</a>",
      "<a/><!DOCTYPE a>",
  };
  for (const char* text : bad) {
    CMarkup markup;
    EXPECT_FALSE(markup.Load(text)) << text;
    EXPECT_FALSE(markup.GetRoot().IsValid()) << text;
    EXPECT_FALSE(markup.GetLastErrorMessage().empty()) << text;
  }
  CMarkup withNul;
  EXPECT_FALSE(withNul.Load(std::string_view("<a>\0</a>", 8)));
}

TEST(MarkupTest, AFailedLoadDropsThePreviousDocument) {
  CMarkup markup;
  ASSERT_TRUE(markup.Load("<a/>"));
  EXPECT_FALSE(markup.Load("<a>"));
  EXPECT_FALSE(markup.GetRoot().IsValid());
}

TEST(MarkupTest, DocumentsWithMoreElementsThanAnyListAreRefused) {
  // A downloaded list of a few megabytes of empty elements would otherwise
  // take gigabytes of memory.
  std::string many = "<velmor>";
  for (int i = 0; i < 300000; ++i) many += "<a/>";
  many += "</velmor>";
  CMarkup markup;
  EXPECT_FALSE(markup.Load(many));
  EXPECT_FALSE(markup.GetRoot().IsValid());
}

TEST(MarkupTest, DeepNestingIsRefusedBeyondItsLimit) {
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<n>";
    for (int i = 0; i < depth; ++i) text += "</n>";
    return text;
  };
  CMarkup markup;
  for (const int depth : {65, 300000}) EXPECT_FALSE(markup.Load(nested(depth))) << depth;
  ASSERT_TRUE(markup.Load(nested(64)));
  int seen = 0;
  for (CMarkupNode node = markup.GetRoot(); node.IsValid(); node = node.GetChild()) ++seen;
  EXPECT_EQ(seen, 64);
}

TEST(MarkupTest, LoadFromFileReadsPlainFilesBesideADirectory) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("ServerList.xml"), "<velmor><area pid=\"1\"/></velmor>");
  testing_support::WriteFile(dir.File("broken.xml"), "<velmor><area></velmor>");

  CMarkup markup;
  EXPECT_TRUE(markup.LoadFromFile("ServerList.xml", 0, dir.path()));
  EXPECT_STREQ(markup.GetRoot().GetChild().GetAttributeValue("pid"), "1");
  std::string withoutSlash = dir.path();
  withoutSlash.pop_back();
  EXPECT_TRUE(markup.LoadFromFile("ServerList.xml", 0, withoutSlash));

  EXPECT_FALSE(markup.LoadFromFile("missing.xml", 0, dir.path()));
  EXPECT_FALSE(markup.LoadFromFile("broken.xml", 0, dir.path()));
  EXPECT_FALSE(markup.LoadFromFile("", 0, dir.path()));  // a directory is no document
}

}  // namespace
