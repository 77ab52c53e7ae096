// The one way an entry's data comes out of minizip. The extraction and the
// workers that inflate ahead of it both read through here, so a package
// gives the same content and fails the same way whoever reads it.
#pragma once

#include <unzip.h>

#include <cstddef>
#include <cstdint>

// Where the inflated bytes of an entry go.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // Where the next bytes go, and how many fit there (more than zero).
  virtual char* Room(unsigned& length) = 0;
  // `length` bytes have come to where Room pointed; false stops the read.
  virtual bool Took(size_t length) = 0;
};

// Reads the entry minizip stands on to its end into `sink`: an archive
// result code (kOk, or kInflateFailed for data that does not inflate, ends
// early or fails its checksum), or `whenStopped` when the sink stopped it.
uint32_t ReadCurrentEntry(unzFile zip, EntrySink& sink, uint32_t whenStopped);
