// SPDX-License-Identifier: GPL-3.0-or-later
// What the verbs of restora-cli share: argument scanning, messages, the terminal progress line,
// Ctrl+C handling and JSON text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Commands.h"
#include "EngineState.h"

namespace restora::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitPartial = 2;
constexpr int kExitInterrupted = 130;

// Prints "restora-cli: MESSAGE" on standard error and returns kExitFailure.
int Fail(const std::string& message);

// A simple argument scanner: flags and "--name value" options in any order, positionals kept.
class ArgScanner {
 public:
  explicit ArgScanner(const Args& args) : args_(args), used_(args.size(), false) {}
  bool Flag(std::string_view name);
  std::optional<std::string> Value(std::string_view name);  // "--name value" or "--name=value"
  std::vector<std::string> Values(std::string_view name);   // every occurrence
  std::vector<std::string> Positionals();                   // what is left that is not an option
  // The first argument no call has taken that looks like an option, or empty.
  std::string UnknownOption() const;

 private:
  const Args& args_;
  std::vector<bool> used_;
};

// Reports engine progress on standard error when it is a terminal (one line, redrawn at most ten
// times a second), and the engine's diagnostic lines on standard error, so that standard output
// holds only the listing.
class TerminalProgress : public ProgressSink {
 public:
  explicit TerminalProgress(std::string label);
  ~TerminalProgress() override;
  void Progress(uint64_t done, uint64_t total) override;
  void Diagnostic(std::string_view line) override;
  void SetLabel(std::string label) { label_ = std::move(label); }
  void Finish();  // clears the progress line

 private:
  std::string label_;
  bool terminal_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// Makes Ctrl+C clear state.keepRunning (the job then ends and prints what it has). Returns true
// when an interrupt has arrived.
void StopOnInterrupt(EngineState& state);
bool Interrupted();

// Text escaped for a JSON string (with the quotes).
std::string JsonString(std::string_view utf8);

}  // namespace restora::cli
