#include "shell/wizard/install_gate.h"

void CInstallGate::Checkpoint() {
  std::unique_lock<std::mutex> l(m_lock);
  if (!m_bPaused && !m_bQuit) return;
  m_bHeld = true;
  m_changed.notify_all();
  m_changed.wait(l, [this] { return !m_bPaused && !m_bQuit; });
  m_bHeld = false;
}

void CInstallGate::WaitForHandOver() {
  std::unique_lock<std::mutex> l(m_lock);
  m_bHeld = true;
  m_changed.notify_all();
  m_changed.wait(l, [this] { return m_bHandedOver && !m_bPaused && !m_bQuit; });
  m_bHeld = false;
}

void CInstallGate::Pause() {
  std::lock_guard<std::mutex> l(m_lock);
  m_bPaused = true;
}

void CInstallGate::Resume() {
  std::lock_guard<std::mutex> l(m_lock);
  m_bPaused = false;
  m_changed.notify_all();
}

void CInstallGate::Quit() {
  std::lock_guard<std::mutex> l(m_lock);
  m_bQuit = true;
  m_changed.notify_all();
}

void CInstallGate::HandOver() {
  std::lock_guard<std::mutex> l(m_lock);
  m_bHandedOver = true;
  m_changed.notify_all();
}

bool CInstallGate::IsHeld() const {
  std::lock_guard<std::mutex> l(m_lock);
  return m_bHeld;
}

bool CInstallGate::IsQuit() const {
  std::lock_guard<std::mutex> l(m_lock);
  return m_bQuit;
}
