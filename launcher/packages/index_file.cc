#include "launcher/packages/index_file.h"

#include <cerrno>
#include <fstream>
#include <limits>
#include <new>
#include <string>

namespace {

uint32_t Le32(const unsigned char* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}
uint16_t Le16(const unsigned char* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

void PutLe32(unsigned char* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
void PutLe16(unsigned char* at, uint16_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

// The header and the whole records of an index file. Fails when the file
// cannot be opened, holds no whole header or is larger than any real index.
// (Its callers catch an allocation failure.)
platform::Status ReadRecords(const wxString& path, uint32_t recordSize,
                             std::vector<unsigned char>& records, int32_t& count) {
  const std::string file = path.utf8_string();
  std::ifstream in(file, std::ios::binary);
  if (!in) return platform::Error::FromErrno("cannot read " + file, errno);
  const std::string tooShort =
      file + " is shorter than the index header of " + std::to_string(kIndexHeaderSize) + " bytes";
  char header[kIndexHeaderSize];
  if (!in.read(header, kIndexHeaderSize)) return platform::Error{tooShort};
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < kIndexHeaderSize) return platform::Error{tooShort};
  if (static_cast<uint64_t>(length) > kLargestIndexFile)
    return platform::Error{file + " is larger than any index (" + std::to_string(length) +
                           " bytes)"};
  uint64_t wanted = static_cast<uint64_t>(length - kIndexHeaderSize) / recordSize;
  // The count is a signed 32-bit number.
  wanted = std::min<uint64_t>(wanted, std::numeric_limits<int32_t>::max() / recordSize);
  records.assign(wanted * recordSize, 0);
  in.seekg(kIndexHeaderSize);
  // A file that shrank since it was measured gives the records that came.
  in.read(reinterpret_cast<char*>(records.data()), static_cast<std::streamsize>(records.size()));
  const uint64_t got = static_cast<uint64_t>(in.gcount()) / recordSize;
  records.resize(got * recordSize);
  count = static_cast<int32_t>(got);
  return platform::Status();
}

platform::Error TooLargeForMemory(const wxString& path) {
  return platform::Error{path.utf8_string() + ": its records do not fit in memory"};
}

void DecodeCommon(const unsigned char* at, uint32_t& offset, uint32_t& length, uint16_t& extraA,
                  uint16_t& extraB, uint32_t& extraC, uint32_t& extraD) {
  offset = Le32(at + index_field::kOffset);
  length = Le32(at + index_field::kLength);
  extraA = Le16(at + index_field::kExtraA);
  extraB = Le16(at + index_field::kExtraB);
  extraC = Le32(at + index_field::kExtraC);
  extraD = Le32(at + index_field::kExtraD);
}

const std::vector<IndexRecord20> kNoInstalled;
const std::vector<IndexRecord24> kNoPatch;

}  // namespace

platform::Status IndexFile::LoadInstalledFrom(const wxString& path) try {
  std::vector<unsigned char> bytes;
  int32_t loaded = 0;
  if (platform::Status read = ReadRecords(path, kInstalledRecordSize, bytes, loaded); !read)
    return read;
  std::vector<IndexRecord20> records(static_cast<size_t>(loaded));
  for (int32_t k = 0; k < loaded; ++k) {
    IndexRecord20& r = records[static_cast<size_t>(k)];
    DecodeCommon(&bytes[static_cast<size_t>(k) * kInstalledRecordSize], r.offset, r.length,
                 r.extraA, r.extraB, r.extraC, r.extraD);
    const int64_t start = kIndexHeaderSize + static_cast<int64_t>(k) * kInstalledRecordSize;
    r.offsetPos = start + index_field::kOffset;
    r.lengthPos = start + index_field::kLength;
    r.extraAPos = start + index_field::kExtraA;
    r.extraBPos = start + index_field::kExtraB;
    r.extraCPos = start + index_field::kExtraC;
    r.extraDPos = start + index_field::kExtraD;
  }
  entries = std::move(records);
  count = loaded;
  return platform::Status();
} catch (const std::bad_alloc&) {
  return TooLargeForMemory(path);  // nothing assigned yet: the object is unchanged
}

platform::Status IndexFile::LoadPatchFrom(const wxString& path) try {
  std::vector<unsigned char> bytes;
  int32_t loaded = 0;
  if (platform::Status read = ReadRecords(path, kPatchRecordSize, bytes, loaded); !read)
    return read;
  std::vector<IndexRecord24> records(static_cast<size_t>(loaded));
  for (int32_t k = 0; k < loaded; ++k) {
    IndexRecord24& r = records[static_cast<size_t>(k)];
    const unsigned char* at = &bytes[static_cast<size_t>(k) * kPatchRecordSize];
    DecodeCommon(at, r.offset, r.length, r.extraA, r.extraB, r.extraC, r.extraD);
    r.targetIndex = Le32(at + index_field::kTargetIndex);
  }
  entries = std::move(records);
  count = loaded;
  return platform::Status();
} catch (const std::bad_alloc&) {
  return TooLargeForMemory(path);  // nothing assigned yet: the object is unchanged
}

bool IndexFile::LoadInstalledForData() { return LoadInstalledFrom(indexPath).ok(); }
bool IndexFile::LoadInstalled() { return LoadInstalledFrom(name).ok(); }
bool IndexFile::LoadPatchForData() { return LoadPatchFrom(indexPath).ok(); }
bool IndexFile::LoadPatch() { return LoadPatchFrom(name).ok(); }

const std::vector<IndexRecord20>& IndexFile::Installed() const {
  const auto* records = std::get_if<std::vector<IndexRecord20>>(&entries);
  return records ? *records : kNoInstalled;
}

const std::vector<IndexRecord24>& IndexFile::Patch() const {
  const auto* records = std::get_if<std::vector<IndexRecord24>>(&entries);
  return records ? *records : kNoPatch;
}

std::vector<IndexRecord20>& IndexFile::MutableInstalled() {
  if (!std::holds_alternative<std::vector<IndexRecord20>>(entries)) {
    entries = std::vector<IndexRecord20>();
  }
  return std::get<std::vector<IndexRecord20>>(entries);
}

void EncodeInstalledRecord(const IndexRecord20& record, unsigned char out[kInstalledRecordSize]) {
  PutLe32(out + index_field::kOffset, record.offset);
  PutLe32(out + index_field::kLength, record.length);
  PutLe16(out + index_field::kExtraA, record.extraA);
  PutLe16(out + index_field::kExtraB, record.extraB);
  PutLe32(out + index_field::kExtraC, record.extraC);
  PutLe32(out + index_field::kExtraD, record.extraD);
}
