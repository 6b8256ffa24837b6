// SPDX-License-Identifier: GPL-3.0-or-later
// restora-cli signatures: the known file types of the "Signature" file, in file order.
#include <cstdio>
#include <string>

#include "CliSupport.h"
#include "SignatureFile.h"
#include "SignatureSelection.h"

namespace restora::cli {

namespace {

std::string SignatureHex(const SignatureRecord& record) {
  std::string hex;
  for (size_t i = 0; i < record.headerLength; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", record.headerBytes[i]);
    hex += digits;
  }
  return hex;
}

}  // namespace

int RunSignatures(const Args& args) {
  ArgScanner scanner(args);
  const bool json = scanner.Flag("--json");
  if (!scanner.UnknownOption().empty()) return Fail("signatures: unknown option " + scanner.UnknownOption());
  if (!scanner.Positionals().empty()) return Fail("usage: restora-cli signatures [--json]");

  EngineState state;
  std::vector<SignatureRecord> types;
  std::filesystem::path folder;
  std::string error;
  if (!LoadKnownTypes(state, types, &error, &folder)) return Fail(error);

  if (json) {
    std::printf("{\"file\":%s,\"count\":%zu,\"types\":[", JsonString((folder / kSignatureFileName).string()).c_str(),
                types.size());
    for (size_t i = 0; i < types.size(); ++i) {
      const SignatureRecord& type = types[i];
      std::printf("%s{\"name\":%s,\"extension\":%s,\"category\":%s,\"selected\":%s,\"family\":%u,\"offset\":%u,"
                  "\"signature\":\"%s\"}",
                  i == 0 ? "" : ",", JsonString(type.TypeNameText()).c_str(), JsonString(type.ExtensionText()).c_str(),
                  JsonString(type.CategoryText()).c_str(), type.selected != 0 ? "true" : "false", type.family,
                  type.headerOffset, SignatureHex(type).c_str());
    }
    std::printf("]}\n");
  } else {
    for (const SignatureRecord& type : types) {
      const std::string category(type.CategoryText());
      const std::string extension(type.ExtensionText());
      const std::string name(type.TypeNameText());
      std::printf("%s %-12s %-6s %s\n", type.selected != 0 ? "[x]" : "[ ]", category.c_str(), extension.c_str(),
                  name.c_str());
    }
  }
  return kExitOk;
}

}  // namespace restora::cli
