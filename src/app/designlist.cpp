// Several designs in one run: each in turn, the worst status kept.
#include "app/designlist.hpp"

#include "app/entry.hpp"
#include "app/jsonlines.hpp"
#include "base/console.hpp"
#include "base/fatal.hpp"
#include "report/certificate.hpp"

#include <new>
#include <string>

namespace kovra {
namespace {

// How bad a status is, for WorseStatus: the order a scripter reads first.
// A design nobody could check hides most; a FAIL is a verdict; an
// undecided test is none yet; a missing copy of a verified design is the
// least, as it always was for one design (a FAIL exits 1 even when its file
// is missing too).
int Badness(int status) {
  switch (status) {
  case 0: return 0;
  case EXIT_OUTPUT_MISSING: return 1;
  case EXIT_UNDECIDED: return 2;
  case 1: return 3;
  default: return 4;
  }
}

// What one design of several came to, for the summary line.
enum class Kind { kOk, kNotTested, kFail, kUndecided, kOutputMissing, kNotChecked, kCount };

Kind KindOf(int status, bool tested) {
  switch (status) {
  case 0: return tested ? Kind::kOk : Kind::kNotTested;
  case 1: return tested ? Kind::kFail : Kind::kNotChecked;
  case EXIT_OUTPUT_MISSING: return Kind::kOutputMissing;
  case EXIT_UNDECIDED: return Kind::kUndecided;
  default: return Kind::kNotChecked;
  }
}

// "Designs: 3 given: 1 OK, 1 FAIL!, 1 not checked; exit status 14": only
// the kinds that occurred, so that a search of the log for FAIL finds the
// line only when a design failed.
void PrintSummary(const unsigned (&kinds)[static_cast<int>(Kind::kCount)], size_t given,
                  int status) {
  static constexpr const char* kNames[] = {"OK",        "not tested",     "FAIL!",
                                           "UNDECIDED", "output missing", "not checked"};
  std::string list;
  for (int i = 0; i < static_cast<int>(Kind::kCount); ++i) {
    if (kinds[i] == 0) continue;
    list += list.empty() ? "" : ", ";
    list += std::to_string(kinds[i]) + " " + kNames[i];
  }
  DualPrint("\nDesigns: %zu given: %s; exit status %d\n", given, list.c_str(), status);
}

// One design of several: its status, with a fatal error kept to it.
int RunGuarded(RunSettings& each, const DesignRunFn& run, RunOutcome& out, bool& fatal) {
  fatal = false;
  try {
    out = run(each, each.fForceTestingIfRedund != 0, each.fToSysDir != 0);
    return DesignStatus(out);
  } catch (const FatalExit& e) {
    fatal = true;
    return e.code;
  } catch (const std::bad_alloc&) {
    // As the entry does: the message of the out-of-memory exits, then on.
    fatal = true;
    try {
      ErrExit(13, "Mem Alloc Err!");
    } catch (const FatalExit& e) {
      return e.code;
    }
  }
}

// The settings of one input: a copy of the run's, so that no design
// inherits what the one before it loaded.
RunSettings InputSettings(const RunSettings& rs, const DesignInput& input) {
  RunSettings each = rs;
  each.szDesignFile = input.file;
  each.ulDesignIndex = input.designIndex;
  if (!input.displayName.empty()) each.szDisplayName = input.displayName;
  return each;
}

} // namespace

int DesignStatus(const RunOutcome& out) {
  if (out.undecided) return EXIT_UNDECIDED;
  if (!out.passed) return 1;
  return out.outputMissing ? EXIT_OUTPUT_MISSING : 0;
}

int WorseStatus(int first, int second) { return Badness(second) > Badness(first) ? second : first; }

int RunDesignList(const RunSettings& rs, const std::vector<DesignInput>& inputs,
                  const DesignRunFn& run) {
  if (inputs.size() == 1) {
    RunSettings each = InputSettings(rs, inputs.front());
    return DesignStatus(run(each, each.fForceTestingIfRedund != 0, each.fToSysDir != 0));
  }
  int status = 0;
  unsigned kinds[static_cast<int>(Kind::kCount)] = {};
  for (size_t i = 0; i < inputs.size(); ++i) {
    RunSettings each = InputSettings(rs, inputs[i]);
    const std::string& name =
        inputs[i].displayName.empty() ? inputs[i].file : inputs[i].displayName;
    DualPrint("\nDesign %zu of %zu: <%s>\n", i + 1, inputs.size(), name.c_str());
    RunOutcome out;
    bool fatal = false;
    const int one = RunGuarded(each, run, out, fatal);
    const bool tested = !fatal && out.tested;
    if (each.fJson != 0 && (fatal || !out.certified))
      EmitJsonLine(each, NotCheckedJson(name, one, each.szCommand));
    ++kinds[static_cast<int>(KindOf(one, tested))];
    status = WorseStatus(status, one);
    ConsoleFlush();
  }
  PrintSummary(kinds, inputs.size(), status);
  return status;
}

int RunDesignList(const RunSettings& rs, const std::vector<DesignInput>& inputs) {
  return RunDesignList(rs, inputs, RunOne);
}

} // namespace kovra
