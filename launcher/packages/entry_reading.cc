#include "launcher/packages/entry_reading.h"

#include "launcher/packages/archive_reader.h"

uint32_t ReadCurrentEntry(unzFile zip, EntrySink& sink, uint32_t whenStopped) {
  unzOpenCurrentFile(zip);  // an entry that cannot be opened fails at its first read
  uint32_t result = archive_result::kOk;
  for (;;) {
    unsigned length = 0;
    char* const into = sink.Room(length);
    const int got = unzReadCurrentFile(zip, into, length);
    if (got < 0) {
      result = archive_result::kInflateFailed;
      break;
    }
    if (got > 0) {
      if (!sink.Took(static_cast<size_t>(got))) {
        result = whenStopped;
        break;
      }
      continue;
    }
    if (unzeof(zip) != 1) result = archive_result::kInflateFailed;
    break;
  }
  // Data that inflated well but is not what was packed: a damaged entry too.
  if (unzCloseCurrentFile(zip) == UNZ_CRCERROR && result == archive_result::kOk)
    result = archive_result::kInflateFailed;
  return result;
}
