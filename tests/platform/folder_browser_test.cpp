#include <gtest/gtest.h>
#include <thread>
#include "platform/folder_browser.h"
#ifdef _WIN32
#include <objbase.h>
#endif

namespace {

// COM is initialised on the calling thread whenever the dialog shows,
// even on a thread that never initialised it itself.
bool ComReady() {
#ifdef _WIN32
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == S_FALSE;  // already initialised, as an apartment
#else
  return true;
#endif
}

}  // namespace

TEST(FolderBrowser, ShowsWithComOnTheCallingThread) {
  bool ready = false;
  auto prev = platform::SetFolderDialog([&](HWND, std::string* path) {
    ready = ComReady();
    *path = "D:\\Chosen";
    return true;
  });
  std::string path;
  bool chosen = false;
  std::thread([&] { chosen = platform::BrowseForFolder(nullptr, &path); }).join();
  platform::SetFolderDialog(prev);
  EXPECT_TRUE(chosen);
  EXPECT_EQ(path, "D:\\Chosen");
  EXPECT_TRUE(ready);
}
