// A new file that appears completely or not at all.
//
// The data goes to a fresh temporary file beside the target (same directory,
// so the final rename stays on one file system); only after it was flushed,
// synced and closed without an error is it renamed over the target. On every
// other path, including an exception unwinding through the owner, the
// temporary file is deleted and the target is left as it was.
#pragma once

#include <cstdio>
#include <string>

namespace kovra {

struct PendingFile {
  std::string target;
  std::string tempPath;        // empty until OpenPendingFile succeeded
  std::FILE* stream = nullptr; // open on tempPath until closed or committed
  bool committed = false;
  int cleanupSlot = -1; // the temporary file is deleted when a signal ends the run

  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();
};

// Creates a uniquely named empty file in the directory of `target` and opens
// it for writing in text mode. The new file gets the permissions of an
// existing regular target, else those of any new file (0666 less the umask).
// False, with errno describing why, when the file cannot be created.
bool OpenPendingFile(PendingFile& f, const std::string& target);

// Closes the stream, for a writer that opens the temporary file by its name.
// False when closing reported an error (the data may be incomplete).
bool ClosePendingStream(PendingFile& f);

// Flushes, syncs and closes the temporary file and renames it to the target.
// On any failure the temporary file is deleted, `why` (if given) receives
// the reason and the result is false.
bool CommitPendingFile(PendingFile& f, std::string* why);

// Closes and deletes the temporary file; the target stays untouched.
void DiscardPendingFile(PendingFile& f);

// For tests: when set, OpenPendingFile still creates the temporary file but
// the data is written to the stream the hook returns for its path (for
// example one on /dev/full), so write, flush and close failures can be made
// to happen. nullptr restores normal writing.
using PendingStreamHook = std::FILE* (*)(const char* tempPath);
void SetPendingStreamHookForTest(PendingStreamHook hook);

} // namespace kovra
