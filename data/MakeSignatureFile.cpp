// SPDX-License-Identifier: GPL-3.0-or-later
// Build tool: turns the readable signature list into the binary "Signature" file.
//   restora-make-signature-file SOURCE.txt OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SignatureFile.h"
#include "SignatureSource.h"

int main(int argc, char** argv) {
  using namespace restora;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SOURCE.txt OUTPUT\n", argv[0]);
    return 1;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<SignatureRecord> records;
  std::string error;
  if (!ParseSignatureSource(text, records, &error) || !CheckShippedList(records, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = EncodeSignatureFile(records);
  const std::string temporary = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "%s: cannot write\n", temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "%s: cannot replace\n", argv[2]);
    return 1;
  }
  return 0;
}
