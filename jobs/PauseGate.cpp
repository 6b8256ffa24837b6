// SPDX-License-Identifier: GPL-3.0-or-later
// The pause gate of a running job.
#include "PauseGate.h"

namespace restora {

void PauseGate::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

void PauseGate::Open() {
  {
    std::lock_guard lock(mutex_);
    closed_ = false;
  }
  opened_.notify_all();
}

void PauseGate::Pass() {
  std::unique_lock lock(mutex_);
  if (!closed_) return;
  waiting_ = true;
  opened_.wait(lock, [this] { return !closed_; });
  waiting_ = false;
}

bool PauseGate::JobWaiting() {
  std::lock_guard lock(mutex_);
  return waiting_;
}

}  // namespace restora
