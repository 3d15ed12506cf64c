// Writing a design to a new file.
#include "output/newfile.hpp"

#include "base/console.hpp"
#include "base/file.hpp"
#include "base/tempfile.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "formats/textfmt.hpp"
#include "formats/xmldesign.hpp"
#include "output/fnames.hpp"
#include "output/safefile.hpp"
#include "output/systree.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kovra {
namespace {

// Renumbers the design from its base to `to` for the time the object lives
// (ChangeBase moves every point by the difference, so the numbering comes
// back exactly).
class BaseShift {
public:
  BaseShift(Sys& sys, uint16_t to) : sys_(sys), from_(sys.base) {
    ChangeBase(sys_, static_cast<int16_t>(to));
  }
  ~BaseShift() { ChangeBase(sys_, static_cast<int16_t>(from_)); }
  BaseShift(const BaseShift&) = delete;
  BaseShift& operator=(const BaseShift&) = delete;

private:
  Sys& sys_;
  uint16_t from_;
};

// A stream into memory, freed with its holder.
struct MemoryStream {
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* stream = nullptr;

  MemoryStream() : stream(::open_memstream(&buf, &len)) {}
  ~MemoryStream() {
    if (stream != nullptr) std::fclose(stream);
    std::free(buf);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
};

bool BuildName(NewStyleFName& ns, const Sys& sys) {
  return BuildNewStyleFName(ns, static_cast<int16_t>(sys.v), static_cast<int16_t>(sys.k),
                            static_cast<int16_t>(sys.t), static_cast<int16_t>(sys.m),
                            static_cast<int16_t>(sys.l), static_cast<int32_t>(sys.b), 2);
}

// Each refusal and failure has one wording, wherever it is found out.
void PrintExisting(const std::string& target) {
  DualPrint("Err: Can't overwrite existing file <%s>.\n     Use option -O for overwriting.\n",
            target.c_str());
}

void PrintWriteFailed(const std::string& path, const std::string& why) {
  DualPrint("Err: Writing <%s> failed (%s); no file was changed.\n", path.c_str(), why.c_str());
}

// Writes the design to `out` by the request's method. False when the writer
// refused the design; an error of the stream itself stays on the stream for
// the caller, who reports it with its cause.
bool WriteDesign(Sys& sys, const NewFileRequest& req, std::FILE* out) {
  switch (req.method) {
  case 0: {
    IdRecord id = IdLineOf(sys, sys.b);
    id.x = sys.x;
    id.Base = sys.base;
    WriteIdHeader(out, id, req.comment);
    WriteBlockLines(sys.blocks.get(), sys.b, sys.k, out);
    return true;
  }
  case 1: return WriteCText(sys, out, req.avgLineLen, req.useExp);
  case 2: return WriteCBin(sys, out, req.useExp);
  case 3: return WriteXmlDesign(sys, out);
  default:
    DualPrint("Err: Inv compression method %hu given\n", static_cast<unsigned short>(req.method));
    return false;
  }
}

// A compressed binary design cannot go to standard output: -D puts it into a
// temporary file of its own, written through the descriptor that created it.
int DumpToTempFile(Sys& sys, const NewFileRequest& req) {
  TempFile temp;
  int fd = -1;
  const bool made = temp.Create("", ".tmp", &fd);
  const std::string path = made ? temp.path() : std::string(P_tmpdir) + "/kovraXXXXXX.tmp";
  DualPrint("WARN: couldn't create ordinary filename and can't dump binary data\nto stdout. "
            "Instead trying to write to a tempory file <%s>.\n",
            path.c_str());
  FilePtr out(made ? ::fdopen(fd, "wb") : nullptr);
  if (!out) {
    if (fd >= 0) ::close(fd);
    PrintWriteFailed(path, std::strerror(made ? errno : EEXIST));
    return CREATE_NOTHING;
  }
  if (!WriteDesign(sys, req, out.get())) return CREATE_NOTHING;
  errno = 0;
  bool ok = std::fflush(out.get()) == 0 && std::ferror(out.get()) == 0;
  const int failure = errno != 0 ? errno : EIO;
  ok = std::fclose(out.release()) == 0 && ok;
  if (!ok) {
    PrintWriteFailed(path, std::strerror(errno != 0 ? errno : failure));
    return CREATE_NOTHING;
  }
  temp.Release();
  return CREATE_TEMP;
}

// -D: the design to standard output, or a binary one to a temporary file.
int Dump(Sys& sys, const NewFileRequest& req) {
  DualPrint("Instead, dumping to stdout.\n");
  BaseShift shift(sys, req.outBase);
  if (req.method == 2) return DumpToTempFile(sys, req);
  // Assembled in memory and handed to standard output in one piece (never
  // mirrored to standard error), and only when the writer succeeded.
  MemoryStream dump;
  if (dump.stream == nullptr || !WriteDesign(sys, req, dump.stream)) return CREATE_NOTHING;
  if (std::fflush(dump.stream) != 0 || std::ferror(dump.stream) != 0)
    return CREATE_NOTHING; // out of memory: nothing half printed
  if (dump.buf != nullptr) StdoutPrint("%s", dump.buf);
  // A dump that standard output did not take in full is no copy of the
  // design, whatever was printed of it.
  return FlushStdout() ? CREATE_DUMPED : CREATE_NOTHING;
}

// --output=-: the design, whatever its encoding, to standard output alone
// (the log has gone to standard error), in one piece and only when the
// writer succeeded.
int WriteToStdout(Sys& sys, const NewFileRequest& req) {
  BaseShift shift(sys, req.outBase);
  MemoryStream out;
  if (out.stream == nullptr || !WriteDesign(sys, req, out.stream)) return CREATE_NOTHING;
  if (std::fflush(out.stream) != 0 || std::ferror(out.stream) != 0) return CREATE_NOTHING;
  StdoutWrite(out.buf, out.len);
  if (!FlushStdout()) return CREATE_NOTHING;
  return CREATE_DUMPED;
}

} // namespace

bool MayCreateFile(const std::string& target, bool replace) {
  // Anything at the name counts, a dangling symbolic link too: replacing it
  // without -O would write through it or drop it.
  struct stat st {};
  if (target.empty() || ::lstat(target.c_str(), &st) != 0) return true;
  if (!replace) {
    PrintExisting(target);
    return false;
  }
  if (const char* kind = UnreplaceableKind(target)) {
    DualPrint("Err: Can't replace <%s>: it is %s, not a regular file.\n", target.c_str(), kind);
    return false;
  }
  return true;
}

std::string NewFileTarget(Sys& sys, bool useL, bool toSysDir) {
  NewStyleFName ns;
  if (sys.fNewFNameScheme != 0 && BuildName(ns, sys)) return ns.name;
  // In the system tree the old-style limits hold as well; a design the tree
  // cannot name (no file of its class) keeps its blocks and count and is not
  // written.
  if (!FitsOldStyleFName(sys, useL)) return {};
  if (!toSysDir) return MakeOldStyleFName(sys, useL);
  if (!SetSysDirFName(sys)) return {};
  return sys.szFileName;
}

int CreateNewSysFile(Sys& sys, const NewFileRequest& req) {
  // A count without blocks behind it would be read past the array.
  if (sys.b != 0 && !sys.blocks) return CREATE_NOTHING;
  if (req.toStdout) return WriteToStdout(sys, req);

  if (req.createAllowed) {
    PendingFile file;
    bool haveFile = false;
    if (!req.target.empty()) {
      haveFile = OpenPendingFile(file, req.target, req.replace);
      // The name was there; say why the file system refused it.
      if (!haveFile)
        DualPrint("Err: Can't create <%s> (%s).\n", req.target.c_str(), std::strerror(errno));
    }
    if (haveFile) {
      bool written = false;
      {
        BaseShift shift(sys, req.outBase);
        written = WriteDesign(sys, req, file.stream);
      }
      if (!written) return CREATE_NOTHING; // the temporary file goes with `file`
      std::string why;
      if (CommitPendingFile(file, &why)) return CREATE_FILE;
      if (errno != EEXIST || req.replace) {
        PrintWriteFailed(req.target, why);
        return CREATE_NOTHING;
      }
      // The name was taken while the design was written: as if it had been
      // taken before.
      PrintExisting(req.target);
      return req.dumpToStdout ? Dump(sys, req) : CREATE_NOTHING;
    }
    DualPrint("WARNING: Can't create filename.\n");
    if (!req.dumpToStdout) {
      NewStyleFName ns;
      DualPrint("Instead, you can use the 'Dump to stdout' option%s.\n",
                BuildName(ns, sys) ? " or the 'NewStyleFNames' option" : "");
      return CREATE_NOTHING;
    }
  } else if (!req.dumpToStdout) {
    return CREATE_NOTHING;
  }
  return Dump(sys, req);
}

} // namespace kovra
