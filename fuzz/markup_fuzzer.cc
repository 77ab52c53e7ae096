// The skin markup reader: the input loaded in each encoding, and every
// element of the tree visited the ways the skin and list readers walk it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "skinui/markup.h"

namespace {

void Visit(const CMarkup& markup) {
  // Depth-first without recursion: depth is limited only by the input.
  std::vector<CMarkupNode> pending{markup.GetRoot()};
  FUZZ_CHECK(pending.back().IsValid());
  FUZZ_CHECK(!pending.back().GetParent().IsValid());
  while (!pending.empty()) {
    const CMarkupNode node = pending.back();
    pending.pop_back();
    FUZZ_CHECK(node.IsValid());
    FUZZ_CHECK(node.GetName()[0] != '\0');
    (void)std::strlen(node.GetValue());
    const int count = node.GetAttributeCount();
    FUZZ_CHECK(count >= 0 && node.HasAttributes() == (count > 0));
    for (int i = 0; i < count; ++i) {
      const char* name = node.GetAttributeName(i);
      FUZZ_CHECK(node.HasAttribute(name));
      (void)std::strlen(node.GetAttributeValue(i));
      (void)std::strlen(node.GetAttributeValue(name));
    }
    FUZZ_CHECK(node.GetAttributeName(count)[0] == '\0');
    const CMarkupNode child = node.GetChild();
    FUZZ_CHECK(node.HasChildren() == child.IsValid());
    if (child.IsValid()) {
      FUZZ_CHECK(node.GetChild(child.GetName()).IsValid());
      pending.push_back(child);
    }
    const CMarkupNode sibling = node.GetSibling();
    FUZZ_CHECK(node.HasSiblings() == sibling.IsValid());
    if (sibling.IsValid()) pending.push_back(sibling);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int encoding : {XMLFILE_ENCODING_UTF8, XMLFILE_ENCODING_UNICODE, XMLFILE_ENCODING_ASNI}) {
    CMarkup markup;
    if (markup.LoadFromMem(data, size, encoding)) {
      FUZZ_CHECK(markup.IsValid() && markup.GetLastErrorMessage().empty());
      Visit(markup);
    } else {
      FUZZ_CHECK(!markup.IsValid() && !markup.GetRoot().IsValid());
    }
  }
  return 0;
}
