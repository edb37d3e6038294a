#include "shell/wizard/progress_steps.h"
#include "engine/setup_package.h"
#include "engine/uninstall_messages.h"

namespace {
stuProgressStep Step(const char* text, bool setRange, WPARAM range, int pos, bool finished) {
  stuProgressStep s;
  s.handled = true;
  s.text = text;
  s.setRange = setRange;
  // The bar's range is 16 bits wide.
  s.rangeMax = static_cast<int>(range % 65536);
  s.pos = pos;
  s.finished = finished;
  return s;
}
}  // namespace

stuProgressStep InstallProgressStep(UINT msg, WPARAM wParam) {
  int next = static_cast<int>(wParam) + 1;
  switch (msg) {
    case WM_SETUP_INFO_BEGIN: return Step("准备读取安装信息...", true, wParam, 0, false);
    case WM_SETUP_INFO_STEP: return Step("正在读取安装信息...", false, 0, next, false);
    case WM_SETUP_INFO_END: return Step("完成读取安装信息...", false, 0, 0, false);
    case WM_SETUP_DATA_BEGIN: return Step("准备读取安装数据...", true, wParam, 0, false);
    case WM_SETUP_DATA_STEP: return Step("正在读取安装数据...", false, 0, next, false);
    case WM_SETUP_DATA_END: return Step("完成读取安装数据...", false, 0, 0, true);
    default: return stuProgressStep();
  }
}

stuProgressStep UninstallProgressStep(UINT msg, WPARAM wParam) {
  int next = static_cast<int>(wParam) + 1;
  switch (msg) {
    case WM_UNINST_START: return Step("准备卸载文件...", true, wParam, 0, false);
    case WM_UNINST_STEP: return Step("正在卸载文件...", false, 0, next, false);
    case WM_UNINST_DONE: return Step("完成卸载文件...", false, 0, 0, true);
    case WM_UNINST_FAILED: return Step("卸载文件出错!!!", false, 0, 0, true);
    default: return stuProgressStep();
  }
}
