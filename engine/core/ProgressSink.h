// SPDX-License-Identifier: GPL-3.0-or-later
// How a running job reports to whoever started it: progress steps, the engine's diagnostic line,
// and the question at the top of every loop whether to go on (a front end may block there while
// it asks the user whether to stop).
#pragma once

#include <cstdint>
#include <string_view>

namespace restora {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;

  // One progress step: work done and work total, in the units of the running job. The desktop
  // program passes the low 32 bits of each on as its progress message.
  virtual void Progress(uint64_t done, uint64_t total) { (void)done, (void)total; }

  // A diagnostic line of the engine (a damaged record, for example), without line break.
  virtual void Diagnostic(std::string_view line);

  // Asked at the top of every engine loop before keepRunning is read; may block (pause gate).
  virtual void Checkpoint() {}
};

}  // namespace restora
