// The system's text on every machine: GBK as it always was, and what GBK
// lacks as GB18030's four-byte sequences, exact both ways.
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>
#include "platform/codepage.h"
#include "platform/gb18030.h"
#include "platform/regedit_script.h"
#include "platform/wide.h"

namespace {

// The code points of wide text: UTF-16 on Windows, UTF-32 elsewhere.
std::vector<uint32_t> CodePoints(const std::wstring& w) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(w[i]);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < w.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(w[++i]) - 0xDC00);
    }
    out.push_back(c);
  }
  return out;
}

TEST(Codepage, GbkStaysByteForByte) {
  const std::string gbk = "帮助 Help\\入门 指南.html";  // compiled to GBK
  const std::string utf8 = u8"帮助 Help\\入门 指南.html";
  EXPECT_EQ(platform::AnsiToUtf8(gbk), utf8);
  EXPECT_EQ(platform::Utf8ToAnsi(utf8), gbk);
  EXPECT_FALSE(platform::HasFourByte(gbk));
  EXPECT_EQ(platform::Wide(gbk), L"帮助 Help\\入门 指南.html");
  EXPECT_EQ(platform::Narrow(L"帮助 Help\\入门 指南.html"), gbk);
}

TEST(Codepage, WhatGbkLacksIsHeldExactly) {
  struct Case {
    const char* utf8;
    std::string ansi;
  };
  // GB18030's own sequences (as any GB18030 reader has them), and for "ǹ",
  // which GB18030 writes in two bytes code page 936 lacks, a spare pointer.
  const Case cases[] = {
      {u8"Straße.txt", std::string("Stra\x81\x30\x89\x38" "e.txt")},
      {u8"Łódź", std::string("\x81\x30\x91\x39\xA8\xAE" "d\x81\x30\x97\x32")},
      {u8"😀", std::string("\x94\x39\xFC\x36")},
      {u8"ǹ", ""},
      {u8"한국어 Français 😀\\x", ""},
  };
  for (const Case& c : cases) {
    const std::string ansi = platform::Utf8ToAnsi(c.utf8);
    if (!c.ansi.empty()) {
      EXPECT_EQ(ansi, c.ansi) << c.utf8;
    }
    EXPECT_TRUE(platform::HasFourByte(ansi)) << c.utf8;
    EXPECT_EQ(platform::AnsiToUtf8(ansi), c.utf8);
    EXPECT_EQ(platform::Narrow(platform::Wide(ansi)), ansi) << c.utf8;
  }
  // "ó" and "ü" are GBK's: two bytes, as before.
  const std::string o = u8"ó";
  EXPECT_EQ(platform::Utf8ToAnsi(o), "\xA8\xAE");
  const std::vector<uint32_t> want = {0x141, 0xF3, 'd', 0x17A, ' ', 0x1F600};
  const std::string text = u8"Łódź 😀";  // not inside a macro: its text is GBK
  EXPECT_EQ(CodePoints(platform::Wide(platform::Utf8ToAnsi(text))), want);
}

TEST(Codepage, OneSpellingPerCharacter) {
  // A four-byte spelling of what GBK holds (here "你" and "A" by spare
  // pointers) or a pointer GB18030 leaves unused is no character: a name
  // cannot pass a comparison as text and land on another name.
  unsigned char ni[4], bad[4] = {0xFE, 0x39, 0xFE, 0x39};
  platform::gb18030::EncodeFourByte(0x4F60, ni);
  const std::string spelled(reinterpret_cast<char*>(ni), 4);
  EXPECT_EQ(platform::AnsiToUtf8("a" + spelled), u8"a\uFFFD");
  EXPECT_EQ(platform::gb18030::DecodeFourByte(bad), platform::gb18030::kInvalid);
  const unsigned char spareA[4] = {0x84, 0x31, 0xAB, 0x35};  // pointer 39420 + 0x41
  EXPECT_EQ(platform::gb18030::DecodeFourByte(spareA), platform::gb18030::kInvalid);
  // Every code point above 0x7F comes back from its four bytes.
  for (uint32_t cp : {0x80u, 0xDFu, 0x1F9u, 0x4DB5u, 0xE5E5u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    unsigned char four[4];
    platform::gb18030::EncodeFourByte(cp, four);
    EXPECT_TRUE(platform::gb18030::IsFourByte(four, 4));
    EXPECT_EQ(platform::gb18030::DecodeFourByte(four), cp) << std::hex << cp;
  }
}

TEST(Codepage, NoSeparatorInsideAFourByteSequence) {
  // Code that steps by lead bytes sees two double-byte pairs whose trail
  // bytes are digits: never "\", "|" or "=".
  const std::string ansi = platform::Utf8ToAnsi(u8"C:\\Łódź\\😀|x=y");
  std::string seen;
  for (size_t i = 0; i < ansi.size(); ++i) {
    if (platform::IsLeadByte(static_cast<unsigned char>(ansi[i])) && i + 1 < ansi.size()) {
      ++i;
      continue;
    }
    seen += ansi[i];
  }
  EXPECT_EQ(seen, "C:\\d\\|x=y");
}

std::string Utf16(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>((c >> 8) & 0xFF);
  }
  return out;
}

TEST(RegistryScript, FiveHundredFormInUtf16) {
  const std::string script =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\塔恩]\r\n\"名称\"=\"值\"\r\n"
      "\"Path\"=hex(2):25,41,25,\\\r\n  d6,b5,00\r\n\"Bin\"=hex:d6,b5\r\n";
  const std::string want = "\xFF\xFE" + Utf16(
      L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\塔恩]\r\n"
      L"\"名称\"=\"值\"\r\n\"Path\"=hex(2):25,00,41,00,25,00,3c,50,00,00\r\n\"Bin\"=hex:d6,b5\r\n");
  EXPECT_EQ(platform::RegistryScriptAsUnicode(script), want);
  EXPECT_EQ(platform::RegistryScriptAsUnicode("REGEDIT5\r\n"), "");
  EXPECT_EQ(platform::RegistryScriptAsUnicode("[HKEY_CURRENT_USER\\X]\r\n"), "");
  // A hex list that is not one stays as written.
  const std::string odd = "REGEDIT4\n\"v\"=hex(7):4g,00\n";
  EXPECT_EQ(platform::RegistryScriptAsUnicode(odd), "\xFF\xFE" + Utf16(L"Windows Registry Editor Version 5.00\n\"v\"=hex(7):4g,00\n"));
}

}  // namespace
