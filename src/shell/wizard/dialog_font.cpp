#include "shell/wizard/dialog_font.h"
#include <cstring>
#include <vector>

namespace {
const uint32_t kSetFont = 0x40;  // DS_SETFONT, also part of DS_SHELLFONT

// Little-endian reads that stop, for good, at the end of the bytes.
struct Reader {
  const uint8_t* p;
  size_t size;
  size_t at = 0;
  bool ok = true;
  uint16_t Word() {
    if (!ok || at + 2 > size) return Bad();
    uint16_t v = static_cast<uint16_t>(p[at] | p[at + 1] << 8);
    at += 2;
    return v;
  }
  uint32_t Dword() {
    uint32_t lo = Word();
    return lo | static_cast<uint32_t>(Word()) << 16;
  }
  void Skip(size_t n) {
    if (!ok || at + n > size) Bad();
    else at += n;
  }
  std::u16string Sz() {
    std::u16string s;
    for (uint16_t c = Word(); ok && c != 0; c = Word()) s += static_cast<char16_t>(c);
    return s;
  }
  // A name or an ordinal (0xFFFF, then the number), or 0 for none.
  void SzOrOrd() {
    uint16_t w = Word();
    if (w == 0xFFFF) Word();
    else if (w != 0) Sz();
  }
  void Align() { at = (at + 3) & ~static_cast<size_t>(3); }
  uint16_t Bad() {
    ok = false;
    return 0;
  }
};

struct Layout {
  bool ex = false;
  bool hasFont = false;
  size_t fontAt = 0;  // the point size
  size_t itemsAt = 0;
  size_t end = 0;
  DialogFont font;
};

bool Parse(const uint8_t* t, size_t size, Layout* l) {
  Reader r{t, size};
  l->ex = size >= 4 && t[0] == 1 && t[1] == 0 && t[2] == 0xFF && t[3] == 0xFF;
  uint32_t style;
  if (l->ex) {
    r.Skip(12);  // version, signature, help id, extended style
    style = r.Dword();
  } else {
    style = r.Dword();
    r.Skip(4);
  }
  uint16_t items = r.Word();
  r.Skip(8);  // x, y, cx, cy
  r.SzOrOrd();  // menu
  r.SzOrOrd();  // class
  r.Sz();       // title
  l->hasFont = (style & kSetFont) != 0;
  l->fontAt = r.at;
  if (l->hasFont) {
    l->font.pointSize = r.Word();
    if (l->ex) {
      l->font.weight = r.Word();
      uint16_t w = r.Word();
      l->font.italic = static_cast<uint8_t>(w & 0xFF);
      l->font.charset = static_cast<uint8_t>(w >> 8);
    }
    l->font.face = r.Sz();
  }
  l->end = r.at;
  r.Align();
  l->itemsAt = r.at;
  for (uint16_t i = 0; i < items && r.ok; ++i) {
    r.Align();
    r.Skip(l->ex ? 12 + 8 + 4 : 8 + 8 + 2);  // styles (and help id), place, id
    r.SzOrOrd();  // class
    r.SzOrOrd();  // title
    r.Skip(r.Word());  // creation data
    l->end = r.at;
  }
  return r.ok;
}

void PutWord(std::vector<uint8_t>* out, uint16_t w) {
  out->push_back(static_cast<uint8_t>(w & 0xFF));
  out->push_back(static_cast<uint8_t>(w >> 8));
}
}  // namespace

size_t DialogTemplateLength(const uint8_t* tmpl, size_t limit) {
  Layout l;
  return Parse(tmpl, limit, &l) ? l.end : 0;
}

bool GetDialogTemplateFont(const uint8_t* tmpl, size_t size, DialogFont* font) {
  Layout l;
  if (!Parse(tmpl, size, &l) || !l.hasFont) return false;
  *font = l.font;
  return true;
}

bool SetDialogTemplateFont(uint8_t* tmpl, size_t size, const DialogFont& font) {
  Layout l;
  if (!Parse(tmpl, size, &l) || !l.hasFont) return false;
  std::vector<uint8_t> head;
  PutWord(&head, font.pointSize);
  if (l.ex) {
    PutWord(&head, font.weight);
    head.push_back(font.italic);
    head.push_back(font.charset);
  }
  for (char16_t c : font.face) PutWord(&head, static_cast<uint16_t>(c));
  PutWord(&head, 0);
  const size_t headEnd = l.fontAt + head.size();
  const size_t itemsAt = (headEnd + 3) & ~static_cast<size_t>(3);
  const size_t itemBytes = l.end > l.itemsAt ? l.end - l.itemsAt : 0;
  if (itemsAt + itemBytes > size || headEnd > size) return false;
  // Items keep their alignment: they move by a multiple of four.
  if (itemBytes) std::memmove(tmpl + itemsAt, tmpl + l.itemsAt, itemBytes);
  std::memcpy(tmpl + l.fontAt, head.data(), head.size());
  std::memset(tmpl + headEnd, 0, itemsAt - headEnd);
  return true;
}
