// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the command-line verbs.
#include "CliSupport.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace restora::cli {

int Fail(const std::string& message) {
  std::fprintf(stderr, "restora-cli: %s\n", message.c_str());
  return kExitFailure;
}

bool ArgScanner::Flag(std::string_view name) {
  bool found = false;
  for (size_t i = 0; i < args_.size(); ++i) {
    if (!used_[i] && args_[i] == name) used_[i] = found = true;
  }
  return found;
}

std::optional<std::string> ArgScanner::Value(std::string_view name) {
  std::vector<std::string> all = Values(name);
  if (all.empty()) return std::nullopt;
  return all.back();
}

std::vector<std::string> ArgScanner::Values(std::string_view name) {
  std::vector<std::string> found;
  const std::string prefix = std::string(name) + "=";
  for (size_t i = 0; i < args_.size(); ++i) {
    if (used_[i]) continue;
    if (args_[i] == name && i + 1 < args_.size()) {
      used_[i] = used_[i + 1] = true;
      found.push_back(args_[i + 1]);
      ++i;
    } else if (args_[i].rfind(prefix, 0) == 0) {
      used_[i] = true;
      found.push_back(args_[i].substr(prefix.size()));
    }
  }
  return found;
}

namespace {

// Options that take the next argument as their value, so that value is never a positional even
// when the verb asks for its positionals before a later step takes the option.
bool TakesValue(std::string_view argument) {
  for (const char* option : {"--types", "--max-size-kb", "--save-scan", "--to", "--only", "--scan", "--source", "--partition"}) {
    if (argument == option) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ArgScanner::Positionals() {
  std::vector<std::string> found;
  for (size_t i = 0; i < args_.size(); ++i) {
    if (i > 0 && !used_[i - 1] && TakesValue(args_[i - 1])) continue;
    if (!used_[i] && (args_[i].empty() || args_[i][0] != '-' || args_[i] == "-")) {
      used_[i] = true;
      found.push_back(args_[i]);
    }
  }
  return found;
}

std::string ArgScanner::UnknownOption() const {
  for (size_t i = 0; i < args_.size(); ++i) {
    if (!used_[i]) return args_[i];
  }
  return {};
}

TerminalProgress::TerminalProgress(std::string label) : label_(std::move(label)), terminal_(::isatty(2) == 1) {}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::Progress(uint64_t done, uint64_t total) {
  if (!terminal_) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  shown_ = true;
  std::fprintf(stderr, "\r%s %llu / %llu\033[K", label_.c_str(), static_cast<unsigned long long>(done),
               static_cast<unsigned long long>(total));
  std::fflush(stderr);
}

void TerminalProgress::Diagnostic(std::string_view line) {
  Finish();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

void TerminalProgress::Finish() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

namespace {

std::atomic<uint32_t>* gStopFlag = nullptr;
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<uint32_t>::is_always_lock_free, "the stop flag is written from a signal handler");

extern "C" void OnInterrupt(int) {
  gInterrupted.store(true);
  if (gStopFlag != nullptr) gStopFlag->store(0);
}

}  // namespace

void StopOnInterrupt(EngineState& state) {
  gStopFlag = &state.keepRunning;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return gInterrupted.load(); }

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace restora::cli
