#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>
#include "shell/wizard/dialog_font.h"

namespace {

const uint32_t kSetFont = 0x40, kShellFont = 0x48;

struct Item {
  std::u16string cls;  // empty: the button ordinal
  std::u16string title;
  std::vector<uint8_t> data;
};

struct Bytes {
  std::vector<uint8_t> b;
  void W(uint32_t w) { b.push_back(w & 0xFF), b.push_back((w >> 8) & 0xFF); }
  void D(uint32_t d) { W(d & 0xFFFF), W(d >> 16); }
  void Sz(const std::u16string& s) {
    for (char16_t c : s) W(c);
    W(0);
  }
  void Align() {
    while (b.size() % 4) b.push_back(0);
  }
};

// A template as the resource compiler lays it out; items start at the
// offsets returned in itemAt.
std::vector<uint8_t> Template(bool ex, uint32_t style, const DialogFont& font,
                              const std::vector<Item>& items, std::vector<size_t>* itemAt = nullptr) {
  Bytes t;
  if (ex) {
    t.W(1), t.W(0xFFFF), t.D(0), t.D(0), t.D(style);
  } else {
    t.D(style), t.D(0);
  }
  t.W(static_cast<uint32_t>(items.size()));
  t.W(0), t.W(0), t.W(267), t.W(139);
  t.W(0xFFFF), t.W(7);  // menu by ordinal
  t.W(0);               // the default class
  t.Sz(u"向导");
  if (style & kSetFont) {
    t.W(font.pointSize);
    if (ex) t.W(font.weight), t.b.push_back(font.italic), t.b.push_back(font.charset);
    t.Sz(font.face);
  }
  for (const Item& it : items) {
    t.Align();
    if (itemAt) itemAt->push_back(t.b.size());
    if (ex) t.D(0), t.D(0), t.D(0x50010000);
    else t.D(0x50010000), t.D(0);
    t.W(1), t.W(2), t.W(50), t.W(14);
    if (ex) t.D(12324);
    else t.W(12324);
    if (it.cls.empty()) t.W(0xFFFF), t.W(0x80);
    else t.Sz(it.cls);
    t.Sz(it.title);
    t.W(static_cast<uint32_t>(it.data.size()));
    t.b.insert(t.b.end(), it.data.begin(), it.data.end());
  }
  return t.b;
}

DialogFont Font(uint16_t size, std::u16string face, uint16_t weight = 0, uint8_t charset = 1) {
  DialogFont f;
  f.pointSize = size;
  f.weight = weight;
  f.charset = charset;
  f.face = std::move(face);
  return f;
}

const std::vector<Item> kItems = {
    {u"", u"下一步(&N) >", {}},
    {u"msctls_progress32", u"", {0xAA, 0xBB, 0xCC}},
    {u"Static", u"TarnSetupV1.5", {}},
};

}  // namespace

TEST(DialogFont, ReadsAndMeasuresBothTemplateForms) {
  for (bool ex : {true, false}) {
    SCOPED_TRACE(ex ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
    std::vector<uint8_t> t = Template(ex, kShellFont, Font(8, u"MS Shell Dlg", 400), kItems);
    EXPECT_EQ(DialogTemplateLength(t.data(), t.size()), t.size());
    // A generous limit (the sheet's copy has an unknown size) finds the same end.
    std::vector<uint8_t> padded = t;
    padded.resize(t.size() + 64, 0xEE);
    EXPECT_EQ(DialogTemplateLength(padded.data(), padded.size()), t.size());
    DialogFont f;
    ASSERT_TRUE(GetDialogTemplateFont(t.data(), t.size(), &f));
    EXPECT_EQ(f.pointSize, 8);
    EXPECT_EQ(f.face, u"MS Shell Dlg");
    EXPECT_EQ(f.weight, ex ? 400 : 0);
    EXPECT_EQ(f.charset, ex ? 1 : 0);
  }
}

TEST(DialogFont, RefusesTruncatedAndFontlessTemplates) {
  std::vector<uint8_t> t = Template(true, kShellFont, Font(8, u"MS Shell Dlg"), kItems);
  for (size_t cut : {size_t(3), size_t(30), t.size() - 1}) {
    EXPECT_EQ(DialogTemplateLength(t.data(), cut), 0u) << cut;
    DialogFont f;
    EXPECT_FALSE(GetDialogTemplateFont(t.data(), cut, &f)) << cut;
  }
  std::vector<uint8_t> plain = Template(true, 0, DialogFont(), kItems);
  std::vector<uint8_t> before = plain;
  DialogFont f;
  EXPECT_FALSE(GetDialogTemplateFont(plain.data(), plain.size(), &f));
  EXPECT_FALSE(SetDialogTemplateFont(plain.data(), plain.size(), Font(9, u"宋体")));
  EXPECT_EQ(plain, before);
}

// The sheet's "MS Shell Dlg" 8 becomes the pages' "宋体" 9: the template is
// then exactly what the resource compiler makes with that font, items and
// all, and the bytes after it are left alone.
TEST(DialogFont, ReplacesAShellFontWithAShorterFace) {
  for (bool ex : {true, false}) {
    SCOPED_TRACE(ex ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
    const DialogFont song = Font(9, u"宋体", 400, 134);
    std::vector<uint8_t> t = Template(ex, kShellFont, Font(8, u"MS Shell Dlg", 400), kItems);
    const size_t oldSize = t.size();
    t.resize(oldSize + 8, 0xEE);
    ASSERT_TRUE(SetDialogTemplateFont(t.data(), oldSize, song));
    std::vector<size_t> itemAt;
    std::vector<uint8_t> want = Template(ex, kShellFont, song, kItems, &itemAt);
    ASSERT_LT(want.size(), oldSize);
    EXPECT_EQ(std::vector<uint8_t>(t.begin(), t.begin() + want.size()), want);
    EXPECT_EQ(std::vector<uint8_t>(t.begin() + oldSize, t.end()), std::vector<uint8_t>(8, 0xEE));
    for (size_t at : itemAt) EXPECT_EQ(at % 4, 0u);
    DialogFont back;
    ASSERT_TRUE(GetDialogTemplateFont(t.data(), want.size(), &back));
    EXPECT_EQ(back.face, u"宋体");
    EXPECT_EQ(back.pointSize, 9);
    EXPECT_EQ(back.charset, ex ? 134 : 0);
    EXPECT_EQ(DialogTemplateLength(t.data(), oldSize), want.size());
  }
}

TEST(DialogFont, NeverGrowsTheTemplate) {
  std::vector<uint8_t> t = Template(true, kSetFont, Font(9, u"宋体"), kItems);
  std::vector<uint8_t> before = t;
  EXPECT_FALSE(SetDialogTemplateFont(t.data(), t.size(), Font(8, u"A much longer face name")));
  EXPECT_EQ(t, before);
  // A face of the same length fits in place; no items at all, too.
  EXPECT_TRUE(SetDialogTemplateFont(t.data(), t.size(), Font(10, u"黑体")));
  std::vector<uint8_t> bare = Template(false, kSetFont, Font(8, u"MS Shell Dlg"), {});
  ASSERT_TRUE(SetDialogTemplateFont(bare.data(), bare.size(), Font(9, u"宋体")));
  std::vector<uint8_t> want = Template(false, kSetFont, Font(9, u"宋体"), {});
  EXPECT_EQ(std::vector<uint8_t>(bare.begin(), bare.begin() + want.size()), want);
}
