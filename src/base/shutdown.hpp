// What a run ended by a signal still does: write out the log, delete the
// temporary files it was writing, and leave the rest to the default action.
#pragma once

namespace kovra {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP. SIGXFSZ is ignored:
// a write beyond the file-size limit then fails like one to a full disk, and
// is cleaned up and reported the same way, instead of killing the process
// beside a half-written file. (SIGKILL cannot be handled.)
void InstallSignalCleanup();

// A temporary file the handler deletes while it is registered. Register
// returns a slot, or -1 when every slot is taken (the file is then only
// removed on the normal paths).
int RegisterTempPath(const char* path);
void UnregisterTempPath(int slot);

} // namespace kovra
