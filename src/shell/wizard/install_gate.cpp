#include "shell/wizard/install_gate.h"

void CInstallGate::Checkpoint() {
  std::lock_guard<platform::Mutex> l(m_lock);
  if (!m_bPaused && !m_bQuit) return;
  m_bHeld = true;
  m_changed.NotifyAll();
  // After a quit the worker goes on, to stop at its next entry and undo.
  m_changed.Wait(m_lock, [this] { return !m_bPaused || m_bQuit; });
  m_bHeld = false;
}

void CInstallGate::WaitForHandOver() {
  std::lock_guard<platform::Mutex> l(m_lock);
  m_bHeld = true;
  m_changed.NotifyAll();
  m_changed.Wait(m_lock, [this] { return (m_bHandedOver && !m_bPaused) || m_bQuit; });
  m_bHeld = false;
}

void CInstallGate::Pause() {
  std::lock_guard<platform::Mutex> l(m_lock);
  m_bPaused = true;
}

void CInstallGate::Resume() {
  std::lock_guard<platform::Mutex> l(m_lock);
  m_bPaused = false;
  m_changed.NotifyAll();
}

void CInstallGate::Quit() {
  std::lock_guard<platform::Mutex> l(m_lock);
  m_bQuit = true;
  m_changed.NotifyAll();
}

void CInstallGate::HandOver() {
  std::lock_guard<platform::Mutex> l(m_lock);
  m_bHandedOver = true;
  m_changed.NotifyAll();
}

bool CInstallGate::IsHeld() const {
  std::lock_guard<platform::Mutex> l(m_lock);
  return m_bHeld;
}

bool CInstallGate::IsQuit() const {
  std::lock_guard<platform::Mutex> l(m_lock);
  return m_bQuit;
}
