// A new file that appears completely or not at all, and replaces nothing that
// was not asked for.
//
// The data goes to a fresh temporary file beside the target (same directory,
// so the final step stays on one file system), created exclusively and
// written only through the descriptor that creation returned: nobody can
// redirect the writing by swapping the name. Only after the data was flushed,
// synced and closed without an error does the file take the target's name.
// Without replacement that step refuses a name that is taken (a rename that
// never replaces, or a second hard link where the file system has no such
// rename), so a file that appeared after any earlier look survives. With
// replacement it goes over a regular file or a symbolic link that names
// nothing, never over a device, FIFO, socket, directory or a link to an
// existing file. On every other path, including an exception unwinding
// through the owner, the temporary file is deleted and the target is left as
// it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kovra {

struct PendingFile {
  std::string target;
  std::string tempPath;        // empty until OpenPendingFile succeeded
  std::FILE* stream = nullptr; // writes to fd; open until committed or discarded
  int fd = -1;                 // the descriptor the exclusive creation returned
  int writeError = 0;          // errno of the first write that failed; 0 while none did
  uint64_t written = 0;        // bytes that reached the file (the stream buffers the rest)
  bool replace = false;        // the target may be replaced (-O)
  bool committed = false;
  int cleanupSlot = -1; // the temporary file is deleted when a signal ends the run

  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();
};

// What stands at `target` when replacing it is refused: "a directory",
// "a FIFO", "a socket", "a device" or "a symbolic link to an existing file".
// Null when the name is free, a regular file, or a link that names nothing.
const char* UnreplaceableKind(const std::string& target);

// Creates a uniquely named empty file in the directory of `target` and opens
// a stream on it for writing. With `replace` the new file gets the
// permission bits of a regular file at the target (set-user-ID, set-group-ID
// and sticky bits dropped), else those of any new file (0666 less the umask).
// False, with errno describing why, when the file cannot be created.
bool OpenPendingFile(PendingFile& f, const std::string& target, bool replace);

// Flushes, syncs and closes the temporary file and gives it the target's
// name as said above. On any failure the temporary file is deleted, `why`
// (if given) receives the reason, and the result is false; errno is EEXIST
// when the target was taken and the file may not replace it.
bool CommitPendingFile(PendingFile& f, std::string* why);

// Closes and deletes the temporary file; the target stays untouched.
void DiscardPendingFile(PendingFile& f);

// For tests: a hook called at each step of every pending file. At kWrite,
// kClose and kPlace a non-zero result is an errno value that makes that step
// fail as the system would (ENOSPC, EFBIG; EINVAL at kPlace as from a file
// system without the non-replacing rename). kOpened comes right after the
// temporary file was made and kPlace right before it takes the target's
// name, so a test can put something at the target just then, or end the
// program there (ErrExit throws). nullptr restores normal writing.
enum class PendingStep { kOpened, kWrite, kClose, kPlace };
using PendingHook = int (*)(PendingStep step, const PendingFile& f);
void SetPendingHookForTest(PendingHook hook);

} // namespace kovra
