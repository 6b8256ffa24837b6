// SPDX-License-Identifier: GPL-3.0-or-later
// A gate the engine's per-loop checkpoint passes: while a front end holds it closed (it asks the
// user whether to stop), the job waits there and reads nothing.
#pragma once

#include <condition_variable>
#include <mutex>

namespace restora {

class PauseGate {
 public:
  // Closes the gate: a job reaching its next checkpoint waits until Open.
  void Close();
  // Opens the gate and wakes a waiting job.
  void Open();
  // Returns at once while the gate is open; waits while it is closed.
  void Pass();
  // True while a job waits at the closed gate.
  bool JobWaiting();

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool closed_ = false;
  bool waiting_ = false;
};

}  // namespace restora
