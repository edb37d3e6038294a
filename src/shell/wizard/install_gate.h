// Where the install worker may be held: at its progress posts, which fall
// between entries, when it holds no lock and no half-written file. The page
// pauses the worker there while it asks whether to quit, instead of
// suspending it wherever it happens to be.
#pragma once
#include <mutex>
#include "platform/sync.h"

class CInstallGate {
 public:
  // Worker side. Before each progress post: waits while paused; returns
  // at once after Quit, when the install stops and undoes itself.
  void Checkpoint();
  // After posting the last progress message: waits until the page has
  // taken it (HandOver) before the uninstall information is written, so a
  // quit answered meanwhile still undoes the install and leaves no log.
  void WaitForHandOver();

  // Page side.
  void Pause();
  void Resume();
  void Quit();
  void HandOver();
  // The worker stands at a checkpoint (paused or quit).
  bool IsHeld() const;
  bool IsQuit() const;

 private:
  mutable platform::Mutex m_lock;
  platform::CondVar m_changed;
  bool m_bPaused = false;
  bool m_bQuit = false;
  bool m_bHandedOver = false;
  bool m_bHeld = false;
};
