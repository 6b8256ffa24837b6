// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the known file types and selecting the ones to search for.
#include "SignatureSelection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "SignatureFile.h"
#include "TextCodec.h"

namespace restora::cli {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    if (!item.empty()) items.push_back(Lower(item));
    start = comma + 1;
  }
  return items;
}

// Ticks exactly the records whose extension or category is named in the lists.
bool SelectNamedTypes(std::vector<SignatureRecord>& fullList, const std::vector<std::string>& lists,
                      std::string* error) {
  for (SignatureRecord& record : fullList) record.selected = 0;
  for (const std::string& list : lists) {
    for (const std::string& name : SplitList(list)) {
      bool known = false;
      for (SignatureRecord& record : fullList) {
        if (Lower(record.ExtensionText()) == name || Lower(record.CategoryText()) == name) {
          record.selected = 1;
          known = true;
        }
      }
      if (!known) {
        *error = "unknown file type '" + name + "' (restora-cli signatures lists the known ones)";
        return false;
      }
    }
  }
  return true;
}

bool IsWholeNumber(const std::string& text) {
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

int PrepareSignatureSearch(EngineState& state, ArgScanner& scanner, std::string* error) {
  const std::vector<std::string> typeLists = scanner.Values("--types");
  const bool allTypes = scanner.Flag("--all-types");
  const std::optional<std::string> maxSizeKb = scanner.Value("--max-size-kb");
  // Found files keep the maximum size instead of being cut at their format's end.
  state.cutAtFormatEnd = !scanner.Flag("--fixed-size");
  if (allTypes && !typeLists.empty()) {
    *error = "--types and --all-types exclude each other";
    return 0;
  }
  // The engine reads any text (a negative one as a huge size); the command line takes KB only.
  if (maxSizeKb && !IsWholeNumber(*maxSizeKb)) {
    *error = "--max-size-kb takes a whole number of KB";
    return 0;
  }
  std::vector<SignatureRecord> fullList;
  if (!LoadKnownTypes(state, fullList, error)) return 0;
  if (allTypes) {
    for (SignatureRecord& record : fullList) record.selected = 1;
  } else if (!typeLists.empty() && !SelectNamedTypes(fullList, typeLists, error)) {
    return 0;
  }
  uint32_t count = 0;
  const std::u16string sizeText = maxSizeKb ? Utf8ToUtf16(*maxSizeKb) : std::u16string(kDefaultMaxSizeText);
  state.signatureList = BuildSelectedList(fullList, sizeText, count);
  if (count == 0) {
    *error = "no file type selected (use --types or --all-types)";
    return 0;
  }
  std::fprintf(stderr, "%u file type(s) to search\n", count);
  return 1;
}

}  // namespace restora::cli
