// The font of a dialog template in memory (DLGTEMPLATE or DLGTEMPLATEEX),
// read and replaced. The property sheet measures its pages in its own
// template's font ("MS Shell Dlg" 8 on most systems, 9 on a Chinese one):
// given the pages' font instead, pages in "宋体" 9 fit on every system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct DialogFont {
  uint16_t pointSize = 0;
  // DLGTEMPLATEEX only; a DLGTEMPLATE holds the size and face alone.
  uint16_t weight = 0;
  uint8_t italic = 0;
  uint8_t charset = 0;
  std::u16string face;
};

// The bytes of the template up to the end of its last item; 0 when it is
// malformed or longer than limit.
size_t DialogTemplateLength(const uint8_t* tmpl, size_t limit);

// False when the template (of size bytes) names no font.
bool GetDialogTemplateFont(const uint8_t* tmpl, size_t size, DialogFont* font);

// Writes font into the template of size bytes in place, its items moved to
// follow the new face. False, and nothing changed, when the template names
// no font, is malformed, or would grow (the sheet's copy has no room).
bool SetDialogTemplateFont(uint8_t* tmpl, size_t size, const DialogFont& font);
