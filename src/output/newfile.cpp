// Writing a design to a new file.
#include "output/newfile.hpp"

#include "base/console.hpp"
#include "formats/cbin.hpp"
#include "formats/ctext.hpp"
#include "formats/textfmt.hpp"
#include "output/fnames.hpp"
#include "output/safefile.hpp"
#include "output/systree.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

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

// The dump is assembled in memory and handed to standard output in one piece
// (never mirrored to standard error), and only when the writer succeeded.
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

// Writes a plain or ctext design to `out`. False when the writer refused the
// design; an error of the stream itself stays on the stream for the caller,
// who reports it with its cause.
bool WriteText(Sys& sys, std::FILE* out, const char* comment, uint8_t method, uint32_t avgLineLen,
               bool useExp) {
  if (method == 0) {
    IdRecord id = IdLineOf(sys, sys.b);
    id.x = sys.x;
    id.Base = sys.base;
    WriteIdHeader(out, id, comment);
    WriteBlockLines(sys.blocks.get(), sys.b, sys.k, out);
    return true;
  }
  return WriteCText(sys, out, avgLineLen, useExp) || std::ferror(out) != 0;
}

} // namespace

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

  NewStyleFName ns;
  const bool newStyleOk = BuildName(ns, sys);

  PendingFile file;
  bool haveFile = false;
  if (req.createAllowed) {
    if (!req.target.empty()) {
      haveFile = OpenPendingFile(file, req.target);
      // The name was there; say why the file system refused it.
      if (!haveFile)
        DualPrint("Err: Can't create <%s> (%s).\n", req.target.c_str(), std::strerror(errno));
    }
    if (!haveFile) DualPrint("WARNING: Can't create filename.\n");
  }

  int result = CREATE_FILE;
  if (!haveFile) {
    if (!req.dumpToStdout) {
      if (req.createAllowed)
        DualPrint("Instead, you can use the 'Dump to stdout' option%s.\n",
                  newStyleOk ? " or the 'NewStyleFNames' option" : "");
      return CREATE_NOTHING;
    }
    DualPrint("Instead, dumping to stdout.\n");
    result = CREATE_DUMPED;
  }

  std::optional<MemoryStream> dump;
  if (!haveFile) dump.emplace();
  {
    BaseShift shift(sys, req.outBase);
    switch (req.method) {
    case 0:
    case 1: {
      std::FILE* out = haveFile ? file.stream : dump->stream;
      if (out == nullptr ||
          !WriteText(sys, out, req.comment, req.method, req.avgLineLen, req.useExp))
        result = CREATE_NOTHING;
      break;
    }
    case 2:
      // The binary writer opens the file by name itself (and, given no name,
      // picks a temporary file of its own and says so).
      if (haveFile) {
        if (!ClosePendingStream(file) || !WriteCBin(sys, file.tempPath.c_str(), req.useExp))
          result = CREATE_NOTHING;
      } else if (!WriteCBin(sys, nullptr, req.useExp)) {
        result = CREATE_NOTHING;
      }
      break;
    default:
      DualPrint("Err: Inv compression method %hu given\n", static_cast<unsigned short>(req.method));
      result = CREATE_NOTHING;
      break;
    }
  }

  if (haveFile) {
    if (result == CREATE_NOTHING) {
      DiscardPendingFile(file);
    } else {
      std::string why;
      if (!CommitPendingFile(file, &why)) {
        DualPrint("Err: Writing <%s> failed (%s); no file was changed.\n", file.target.c_str(),
                  why.c_str());
        result = CREATE_NOTHING;
      }
    }
  } else if (result == CREATE_DUMPED && req.method != 2 && dump->stream != nullptr) {
    if (std::fflush(dump->stream) != 0 || std::ferror(dump->stream) != 0) {
      result = CREATE_NOTHING; // out of memory: nothing half printed
    } else {
      if (dump->buf != nullptr) StdoutPrint("%s", dump->buf);
      // A dump that standard output did not take in full is no copy of the
      // design, whatever was printed of it.
      if (!FlushStdout()) result = CREATE_NOTHING;
    }
  }
  return result;
}

} // namespace kovra
