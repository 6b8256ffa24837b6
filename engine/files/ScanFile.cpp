// SPDX-License-Identifier: GPL-3.0-or-later
// Writing and reading scan information files. Both walk the tree iteratively in the same order:
// all children of a folder, then the block of each child folder in list order, depth first.
#include "ScanFile.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <new>
#include <span>
#include <vector>

#include "ScanRecordCodec.h"
#include "ScanTree.h"

namespace restora {

namespace {

constexpr size_t kMaxLength = std::numeric_limits<uint16_t>::max();  // the length fields are u16
constexpr size_t kFlushBytes = size_t{1} << 20;
constexpr size_t kStreamBufferBytes = size_t{1} << 16;

// Collects the file's bytes and hands them to the stream in large pieces.
class ScanFileSink {
 public:
  explicit ScanFileSink(std::ostream& out) : out_(out) {}

  void Put(std::span<const uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    if (buffer_.size() >= kFlushBytes) Flush();
  }
  void PutU16(size_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    Put(bytes);
  }
  // The u16 length in characters, then the text's first length characters (little-endian).
  void PutName(const std::u16string& name) {
    const size_t length = std::min(name.size(), kMaxLength);
    PutU16(length);
    for (size_t i = 0; i < length; ++i) PutU16(name[i]);
  }
  bool Flush() {
    out_.write(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    return out_.good();
  }

 private:
  std::ostream& out_;
  std::vector<uint8_t> buffer_;
};

void PutNode(ScanFileSink& sink, const ScanNode& node, SourceKind kind) {
  sink.Put(SerializeScanNode(node, kind));
  sink.PutName(node.name);
}

// The records of a folder's children, in list order.
void PutChildList(ScanFileSink& sink, const ScanNode& folder, SourceKind kind) {
  for (const ScanNode* child = folder.firstChild; child != nullptr; child = child->next) PutNode(sink, *child, kind);
}

// The tree block of root and, depth first, of every folder below it.
void PutTreeBlocks(ScanFileSink& sink, const ScanNode& root, SourceKind kind) {
  // Per open level, the next sibling whose block is still to be written.
  std::vector<const ScanNode*> cursors;
  if (root.firstChild != nullptr) {
    PutChildList(sink, root, kind);
    cursors.push_back(root.firstChild);
  }
  while (!cursors.empty()) {
    const ScanNode*& cursor = cursors.back();
    while (cursor != nullptr && cursor->firstChild == nullptr) cursor = cursor->next;
    if (cursor == nullptr) {
      cursors.pop_back();
      continue;
    }
    const ScanNode* folder = cursor;
    cursor = cursor->next;
    PutChildList(sink, *folder, kind);
    cursors.push_back(folder->firstChild);
  }
}

void PutU32(ScanFileSink& sink, uint32_t value) {
  std::array<uint8_t, 4> bytes{};
  StoreU32(MutableBytes(bytes), 0, value);
  sink.Put(bytes);
}

void PutU64(ScanFileSink& sink, uint64_t value) {
  std::array<uint8_t, 8> bytes{};
  StoreU64(MutableBytes(bytes), 0, value);
  sink.Put(bytes);
}

// The partitions block: its signature, the count, and per partition its number, start and
// length, its own description, and its top folder with that folder's tree block in the layout of
// the partition's kind.
void PutPartitions(ScanFileSink& sink, const std::vector<PartitionVolume>& partitions) {
  sink.Put(kPartitionBlockSignature);
  const size_t count = std::min(partitions.size(), kMaxLength);
  sink.PutU16(count);
  for (size_t i = 0; i < count; ++i) {
    const PartitionVolume& partition = partitions[i];
    ScanNode emptyFolder;
    const ScanNode& folder = partition.folder != nullptr ? *partition.folder : emptyFolder;
    const SourceKind kind = partition.volumeInfo.kind;
    PutU32(sink, partition.number);
    PutU64(sink, partition.startSector);
    PutU64(sink, partition.sectorCount);
    sink.Put(SerializeVolumeInfo(partition.volumeInfo));
    PutNode(sink, folder, kind);
    PutTreeBlocks(sink, folder, kind);
  }
}

// The reading side: delivers what the stream still holds and tells how much that is, so that no
// length field can make the reader allocate more than the file could fill.
class ScanFileSource {
 public:
  explicit ScanFileSource(std::istream& in) : in_(in) {
    const std::streampos start = in_.tellg();
    in_.seekg(0, std::ios::end);
    const std::streampos end = in_.tellg();
    in_.seekg(start);
    if (start >= 0 && end >= start) remaining_ = static_cast<uint64_t>(end - start);
  }

  // Reads up to buffer.size() bytes to the buffer's start; what is not delivered stays as it was.
  size_t Read(std::span<uint8_t> buffer) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(buffer.size(), remaining_));
    if (wanted == 0) return 0;
    in_.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(wanted));
    const size_t got = static_cast<size_t>(in_.gcount());
    remaining_ = got < wanted ? 0 : remaining_ - got;
    return got;
  }
  // A u16 length field; bytes not delivered read as zero.
  uint16_t ReadU16() {
    std::array<uint8_t, 2> bytes{};
    Read(bytes);
    return LoadU16(bytes, 0);
  }
  // A name of length characters, cut to what the file still holds (a cut half character keeps
  // its low byte).
  std::u16string ReadName(size_t length) {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(2 * length, remaining_)));
    bytes.resize(Read(bytes));
    std::u16string name((bytes.size() + 1) / 2, u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) name[i / 2] |= static_cast<char16_t>(bytes[i] << (i % 2 == 0 ? 0 : 8));
    return name;
  }
  uint64_t Remaining() const { return remaining_; }

 private:
  std::istream& in_;
  uint64_t remaining_ = 0;
};

// Puts bytes over the start of path, byte k into character k / 2 (low byte first); characters
// past the bytes keep what they held, and a path shorter than the bytes is lengthened with zeros.
void OverlayPathBytes(std::u16string& path, Bytes bytes) {
  const size_t characters = (bytes.size() + 1) / 2;
  if (path.size() < characters) path.resize(characters, u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    char16_t& c = path[i / 2];
    c = i % 2 == 0 ? static_cast<char16_t>((c & 0xFF00) | bytes[i])
                   : static_cast<char16_t>((c & 0x00FF) | (bytes[i] << 8));
  }
}

// Reads the children of folder, in list order, up to a record whose next field is zero. Nodes
// whose stored firstChild was set are added to withBlocks, in list order. Returns false when the
// file ended inside the list (a record cut short is dropped; the nodes before it stay).
bool ReadChildList(EngineState& state, ScanFileSource& source, SourceKind kind, ScanNode* folder,
                   std::vector<ScanNode*>& withBlocks) {
  ScanNode** slot = &folder->firstChild;
  for (;;) {
    std::array<uint8_t, kScanNodeSize> record{};
    if (source.Read(record) < record.size()) return false;
    ScanNode* node = NewNode(state);
    const StoredLinks links = ParseScanNode(record, kind, *node);
    node->name = source.ReadName(source.ReadU16());
    node->parent = folder;
    *slot = node;
    slot = &node->next;
    if (links.hasFirstChild) withBlocks.push_back(node);
    if (!links.hasNext) return true;
    if (source.Remaining() == 0) return false;
  }
}

// Reads the tree block of root and, in file order, the blocks of every folder below it. A stack
// of pending folder lists stands for the recursion, so the file cannot choose the stack depth.
void ReadTreeBlocks(EngineState& state, ScanFileSource& source, SourceKind kind, ScanNode* root) {
  struct Level {
    std::vector<ScanNode*> folders;  // the nodes of one list whose blocks follow, in list order
    size_t nextIndex = 0;
  };
  std::vector<Level> levels;
  levels.push_back(Level{{root}, 0});
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextIndex == level.folders.size()) {
      levels.pop_back();
      continue;
    }
    ScanNode* folder = level.folders[level.nextIndex++];
    std::vector<ScanNode*> withBlocks;
    // A list cut short ends the file: every block still expected holds nothing.
    if (!ReadChildList(state, source, kind, folder, withBlocks)) return;
    if (!withBlocks.empty()) levels.push_back(Level{std::move(withBlocks), 0});
  }
}

uint64_t ReadU64(ScanFileSource& source) {
  std::array<uint8_t, 8> bytes{};
  source.Read(bytes);
  return LoadU64(bytes, 0);
}

// The partitions block, when the file holds one after the tree: the partitions' folders, with
// what was found in each, replace the root's children (which stand in for them without content).
void ReadPartitions(EngineState& state, ScanFileSource& source, ScanNode* root) {
  std::array<uint8_t, kPartitionBlockSignature.size()> signature{};
  if (source.Remaining() < signature.size() || source.Read(signature) < signature.size() ||
      signature != kPartitionBlockSignature) {
    return;
  }
  FreeTree(state, root);
  const uint16_t count = source.ReadU16();
  ScanNode** tail = &root->firstChild;
  for (uint16_t i = 0; i < count; ++i) {
    constexpr uint64_t kHeaderBytes = 4 + 8 + 8 + kVolumeInfoSize + kScanNodeSize;
    if (source.Remaining() < kHeaderBytes) return;
    PartitionVolume partition;
    std::array<uint8_t, 4> number{};
    source.Read(number);
    partition.number = LoadU32(number, 0);
    partition.startSector = ReadU64(source);
    partition.sectorCount = ReadU64(source);
    std::array<uint8_t, kVolumeInfoSize> info{};
    source.Read(info);
    partition.volumeInfo = ParseVolumeInfo(info);
    std::array<uint8_t, kScanNodeSize> record{};
    source.Read(record);
    ScanNode* folder = NewNode(state);
    const StoredLinks links = ParseScanNode(record, partition.volumeInfo.kind, *folder);
    folder->name = source.ReadName(source.ReadU16());
    folder->parent = root;
    *tail = folder;
    tail = &folder->next;
    partition.folder = folder;
    if (links.hasFirstChild) ReadTreeBlocks(state, source, partition.volumeInfo.kind, folder);
    state.partitions.push_back(std::move(partition));
  }
}

void FreeCurrentTree(EngineState& state) {
  if (state.scanRoot == nullptr) return;
  FreeTree(state, state.scanRoot);
  state.pool.FreeNode(state.scanRoot);
  state.scanRoot = nullptr;
}

}  // namespace

int WriteScanInfoTo(const EngineState& state, std::ostream& out) {
  try {
    ScanFileSink sink(out);
    sink.Put(kScanFileSignature);

    // Only the first n bytes of the path's n characters are stored: the first half of the text.
    const size_t pathLength = std::min(state.volumePath.size(), kMaxLength);
    sink.PutU16(pathLength);
    for (size_t i = 0; i < pathLength; ++i) {
      const char16_t c = state.volumePath[i / 2];
      const uint8_t byte = static_cast<uint8_t>(i % 2 == 0 ? c : c >> 8);
      sink.Put(std::span<const uint8_t>(&byte, 1));
    }

    const SourceKind kind = state.volumeInfo.kind;
    sink.Put(SerializeVolumeInfo(state.volumeInfo));
    ScanNode emptyRoot;
    const ScanNode& root = state.scanRoot != nullptr ? *state.scanRoot : emptyRoot;
    PutNode(sink, root, kind);

    if (state.partitions.empty()) {
      PutTreeBlocks(sink, root, kind);
    } else {
      // The partitions' top folders stand in the tree without their content, which follows in
      // the partitions block in each partition's own layout; a reader that knows no such block
      // stops before it and shows the top folders empty.
      for (const ScanNode* child = root.firstChild; child != nullptr; child = child->next) {
        ScanNode placeholder = *child;
        placeholder.firstChild = nullptr;
        PutNode(sink, placeholder, kind);
      }
      PutPartitions(sink, state.partitions);
    }
    return sink.Flush() ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int WriteScanInfo(EngineState& state, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return 0;
  const int written = WriteScanInfoTo(state, out);
  out.close();
  if (written == 0 || out.fail()) {
    state.ReportDiagnostic("scan file " + path + ": a write failed; the file is incomplete");
    return 0;
  }
  return 1;
}

int ReadScanInfoFrom(EngineState& state, std::istream& in) {
  ScanFileSource source(in);
  std::array<uint8_t, kScanFileSignature.size()> signature{};
  if (source.Read(signature) < signature.size() || signature != kScanFileSignature) return 0;

  try {
    FreeCurrentTree(state);

    std::vector<uint8_t> pathBytes(std::min<uint64_t>(source.ReadU16(), source.Remaining()));
    pathBytes.resize(source.Read(pathBytes));
    OverlayPathBytes(state.volumePath, pathBytes);

    // A cut inside the description leaves the bytes it did not reach as they were.
    std::array<uint8_t, kVolumeInfoSize> info = SerializeVolumeInfo(state.volumeInfo);
    source.Read(info);
    state.volumeInfo = ParseVolumeInfo(info);

    ScanNode* root = NewNode(state);
    state.scanRoot = root;
    std::array<uint8_t, kScanNodeSize> record{};
    source.Read(record);
    const StoredLinks links = ParseScanNode(record, state.volumeInfo.kind, *root);
    root->name = source.ReadName(source.ReadU16());
    if (links.hasFirstChild) ReadTreeBlocks(state, source, state.volumeInfo.kind, root);
    state.partitions.clear();
    ReadPartitions(state, source, root);
    return 1;
  } catch (const std::bad_alloc&) {
    state.ReportDiagnostic("scan file: out of memory; the tree holds what was read so far");
    return 0;
  }
}

int ReadScanInfo(EngineState& state, const std::string& path) {
  std::vector<char> streamBuffer(kStreamBufferBytes);
  std::ifstream in;
  in.rdbuf()->pubsetbuf(streamBuffer.data(), static_cast<std::streamsize>(streamBuffer.size()));
  in.open(path, std::ios::binary);
  if (!in) return 0;
  return ReadScanInfoFrom(state, in);
}

}  // namespace restora
