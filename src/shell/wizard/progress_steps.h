// What the install page and the uninstall dialog do with each progress
// message a worker posts: the status text, the bar, and the end.
#pragma once
#include "platform/types.h"

struct stuProgressStep {
  bool handled = false;     // not a progress message: nothing to do
  const char* text = "";    // the new status text
  bool setRange = false;    // range 1 to rangeMax before the position
  int rangeMax = 0;
  int pos = 0;
  bool finished = false;    // install: on to the finish page; uninstall: Exit shows
};

stuProgressStep InstallProgressStep(UINT msg, WPARAM wParam);
stuProgressStep UninstallProgressStep(UINT msg, WPARAM wParam);
