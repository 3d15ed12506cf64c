#!/usr/bin/env bash
# Mutation testing: how many small faults in src/ would the tests let through?
#
# Each mutant below is one deliberate fault: a comparison flipped, a limit off
# by one, a check dropped or a constant changed. The script puts one mutant at
# a time into the source, rebuilds incrementally, and runs the unit and
# transcript tests (ctest -L 'unit|golden'). A mutant the tests fail on is
# killed; one they pass survived, and is a fault the suite would ship; one
# that does not compile is stillborn. A mutant whose original text no longer
# occurs exactly once in its file is "not applicable": the code it aimed at
# has changed and its line in the list needs a new look. Before trimming
# tests, run this and check that the kill count does not drop.
#
# Time: the first run configures and builds (about 3 minutes on 2 cores);
# after that each mutant costs 6 to 15 seconds (two compiles of one file,
# the links, and a test run that stops at the first failure), and the whole
# list about 22 minutes. The source file is put back after every mutant, also on
# Ctrl-C or an error, and the build directory is rebuilt from the restored
# source at the end. Not run by CI. It is a report: the exit status is 0
# whatever survived, and nonzero only when the run could not be set up (a
# missing tool, a build or test failure before any mutant, another run on the
# same tree).
#
# Usage: tools/mutate.sh [options] [FILTER...]
#   FILTER      run only the mutants whose file (below src/) contains the
#               text, e.g. verify/ or loader.cpp; a number picks one mutant
#   -B DIR      build directory (default build/mutate)
#   -j N        parallel jobs for building and testing (default 2)
#   -t SECONDS  timeout of each test (default 30)
#   -c          only check that every original text occurs exactly once
#   -e          run the mutants marked equivalent too (they should survive)
#   -h          this help
#
# Before the test suite was trimmed (the full suite, on the refactored
# source): killed 86 of 96, 10 survived, 3 equivalent. After trimming, with
# the golden cases added meanwhile: killed 93 of 96, about 5 minutes. With
# the wide designs, the certificate, threads, shares, the proof search and
# the reduction: killed 119 of 122 (1 equivalent), about 22 minutes. With
# several designs in one run, the search's answer, -z's numbers and the
# count layout: killed 141 of 144 (1 equivalent), about 16 minutes. The 3
# survivors are faults no test sees: every message shown twice when stdout
# and stderr are both the terminal (the transcripts cannot put both on a
# terminal); a dump that stdout refused counted as written, and a broken pipe
# (SIGPIPE ignored) reported as a lost log (both only visible with a terminal
# or an ignored SIGPIPE). A run that shows other survivors has lost a test
# that mattered. With point sets of any width and the team of threads, the
# mutants of the files they touch (pointset, engine.cpp, meetwalk, cbin.cpp,
# fnames.hpp, combinatorics): killed 24 of 24. All of it together, with the
# facade, the shares' checks, the readers and the time limit: killed 189 of
# 192 (1 equivalent), the same 3 survivors, about 59 minutes.
#
# The build is the release build with the tests (Release, KOVRA_TESTS=ON,
# KOVRA_BENCH=OFF, KOVRA_PYTHON=OFF: the module's own test needs its build,
# and the facade's unit test sees the same faults; g++, Ninja), with warnings left as warnings: a mutant that
# only draws a warning is still a program the tests have to reject. Each
# mutant's build and test output goes to DIR/mutants/NN.log, the report to
# DIR/mutants/report.txt.

set -uo pipefail

# One mutant per line: FILE @@ ORIGINAL @@ REPLACEMENT @@ DESCRIPTION
# FILE is below src/; ORIGINAL must occur exactly once in it and is replaced
# literally (no patterns, no escapes). A DESCRIPTION starting with
# "equivalent:" marks a mutant that cannot change what the program does; the
# rest of it says why. Such mutants are checked for applicability but not
# run (unless -e) and are not counted.
mutant_list() {
  cat <<'EOF'
# --- base: range check, console, input, keyboard, signal cleanup
base/range.cpp @@ if (value >= low && value <= high) return; @@ if (value >= low && value < high) return; @@ range check refuses its upper limit itself
base/console.cpp @@ if (n > 1 && p[1] == '\n') { @@ if (false) { @@ files and pipes lose the CR of a CR LF line end too
base/console.cpp @@ Append(s, p, n, !raw && !s.tty); @@ Append(s, p, n, !raw); @@ a terminal no longer gets the CR that overwrites a progress text
base/console.cpp @@ gMirror = !gOut.tty && gErr.tty; @@ gMirror = gErr.tty; @@ messages mirrored to stderr even when stdout is the terminal (shown twice)
base/input.cpp @@ if (S_ISDIR(st.st_mode)) { @@ if (false) { @@ a directory is refused without "Is a directory"
base/input.cpp @@ isatty(STDIN_FILENO) != 0; @@ true; @@ stdin from a device such as /dev/zero is read (and ends at the line bound)
base/input.cpp @@ if (!seekable_ && (!stdin_ || Keeper().lost || offset > Keeper().kept.size())) return false; @@ if (false) return false; @@ a pipe "goes back" beyond its window and reads on at the wrong place
base/keyboard.cpp @@ if (now <= gNextLook) return 0; @@ if (now < gNextLook) return 0; @@ key poll looks after 5 seconds, not more than 5
base/keyboard.cpp @@ for (int i = 0; i < 32 && b >= 0x20 && b <= 0x3F; ++i) { @@ for (int i = 0; i < 32 && b >= 0x20 && b <= 0x39; ++i) { @@ escape sequence ends at ';' or '?': a modified function key becomes two keys
base/shutdown.cpp @@ if (slot.inUse != 0) ::unlink(slot.path); @@ if (slot.inUse == 0) ::unlink(slot.path); @@ a terminating signal leaves the temporary files behind
# --- design: combinatorics, design record, parameter check
design/combinatorics.cpp @@ c[n][k] = a > UINT64_MAX - b ? UINT64_MAX : a + b; @@ c[n][k] = a + b; @@ binomials beyond 64 bits wrap instead of saturating
design/combinatorics.cpp @@ if (next < high || next > cap) return cap; @@ if (next < high) return cap; @@ binomials of large n and k wrap past 64 bits
design/combinatorics.cpp @@ while (i + t <= n + j) { @@ while (i + t < n + j) { @@ equivalent: unranking skips its last look at the largest value a position may take; only one combination is left there, so for a rank within 1..C(n,t) the loop stops at that value anyway, and every caller passes such a rank
design/combinatorics.cpp @@ const uint64_t d = c + Binomial(n - i, t - j); @@ const uint64_t d = c + Binomial(n - i - 1, t - j); @@ unranking counts the combinations after a value one point short
design/combinatorics.cpp @@ if (d >= r) break; @@ if (d > r) break; @@ unranking a combination lands one step too far
design/combinatorics.cpp @@ if (comb[p] + 1u <= top) { @@ if (comb[p] + 1u < top) { @@ enumeration of combinations stops before the last value
design/sys.cpp @@ for (size_t i = 0; i < n; ++i) p[i] = static_cast<Point>(p[i] + delta); @@ for (size_t i = 0; i + 1 < n; ++i) p[i] = static_cast<Point>(p[i] + delta); @@ change of base leaves the last point of the last block unmoved
design/sys.cpp @@ blocks[i] = static_cast<Point>(static_cast<unsigned>(newBase) + entry[blocks[i]] - 1); @@ blocks[i] = static_cast<Point>(static_cast<unsigned>(newBase) + entry[blocks[i]]); @@ close gaps (-z) numbers from base + 1
formats/textfmt.cpp @@ if (text.end - text.pos >= 3 && std::memcmp(text.pos, "\xEF\xBB\xBF", 3) == 0) text.pos += 3; @@ (void)0; @@ a byte-order mark hides the first block's first number
design/sys.cpp @@ {'m', p.m, MAX_M}, @@ {'m', p.m, MAX_M - 1}, @@ parameter check refuses m = 20
design/sys.cpp @@ if (std::strlen(name) > static_cast<size_t>(FNAME_CAPACITY)) { @@ if (std::strlen(name) >= static_cast<size_t>(FNAME_CAPACITY)) { @@ a file name of exactly the record's capacity is refused
# --- formats: lines, block lines, ID line, loader, ctext, cbin
formats/textfmt.cpp @@ if (cut != nullptr && lineEnd == nullptr) { @@ if (false) { @@ the part of an overlong comment line behind 255 bytes comes back as data
formats/textfmt.cpp @@ MAX_LINE_BYTES || @@ MAX_LINE_BYTES + 1 || @@ a line one byte beyond the bound is read
formats/idline.cpp @@ if (count < 16 && value > kColumns[count].width) { @@ if (false) { @@ an ID-line number too large for its column wraps to its low bits
formats/textfmt.cpp @@ for (unsigned j = 0; j < i; ++j) @@ for (unsigned j = 0; j + 1 < i; ++j) @@ a point repeated right after itself is not a duplicate
formats/textfmt.cpp @@ if (code != BLK_NONE || HoldsNoData(piece.begin, piece.end)) return code; @@ return code; @@ a word line among the blocks is dropped without a word
formats/textfmt.cpp @@ if (magnitude > kBlockNumberCap) magnitude = kBlockNumberCap + 1; @@ (void)0; @@ a 20-digit block number wraps around and may pass as a point
formats/idline.cpp @@ if (id.v1 == 0 || id.v1 > id.v) id.v1 = id.v; @@ if (id.v1 == 0) id.v1 = id.v; @@ ID line: v1 above v is kept (and fails the parameter check)
formats/idline.cpp @@ if (id.bCmpr != 0) id.Base = 1; @@ (void)0; @@ ID line: a compressed file's Base column is believed
formats/idline.cpp @@ if (path == nullptr || newFNameSchemeRun) return; @@ if (path == nullptr) return; @@ name/ID mismatch lines printed under -f2 too
formats/idline.cpp @@ if (position > part.size() || !IsDigit(part[position - 1])) return 0; @@ if (position >= part.size() || !IsDigit(part[position - 1])) return 0; @@ the last character of a file name is never read as a digit
formats/loader.cpp @@ if (id.tooLarge) ErrExit(2, kHeaderErr); @@ (void)0; @@ a refused ID-line number is checked as its largest value
formats/loader.cpp @@ if (BlockBytes(b, k) <= bound) return; @@ if (true) return; @@ a design whose blocks pass the memory bound is read
formats/loader.cpp @@ if (pass.read == pass.most) OverBoundExit(fileName, pass.read, k, bound); @@ (void)0; @@ a file without ID line is read beyond the memory bound
formats/loader.cpp @@ UnreadPiece(text, piece); // the first block line @@ (void)0; @@ the first block line after a header is lost
formats/loader.cpp @@ if (pass.active || dataLines == 0 || SeekToMark(text, firstData)) return true; @@ if (true) return true; @@ compressed data without ID line is read on from its end
formats/loader.cpp @@ return static_cast<uintmax_t>(b) * (2u * k - 1u) <= size; @@ return static_cast<uintmax_t>(b) * (2u * k) <= size; @@ a file just long enough for its b blocks is called too short
formats/loader.cpp @@ if (depth >= MAX_LOAD_DEPTH) { @@ if (depth > MAX_LOAD_DEPTH) { @@ one more nested "load" line than the limit is followed
formats/loader.cpp @@ const int code = pass.code != BLK_OK ? pass.code : BLK_MISSING; @@ const int code = BLK_MISSING; @@ a bad line in a file without ID line is reported as missing blocks
formats/loader.cpp @@ high = closeGaps ? MAX_N : static_cast<long>(io.base) + io.v - 1; @@ high = closeGaps ? MAX_N : static_cast<long>(io.base) + io.v; @@ point v + 1 (in the file's base) is accepted
formats/loader.cpp @@ if (ReadBlockLine(extra, io.k, low, high, text) == BLK_OK) @@ if (false) @@ a block line behind the b-th is ignored instead of refused
formats/loader.cpp @@ if (!SniffCTextHeader(line, hs.chi, hs.headerB)) hs.kind = 0; @@ (void)0; @@ -g1 takes a plain file without ID line for compressed text
formats/loader.cpp @@ if ((sys.given.v != 0 && sys.given.v != sys.v) || (sys.given.k != 0 && sys.given.k != sys.k)) { @@ if (sys.given.k != 0 && sys.given.k != sys.k) { @@ -v that contradicts the ID line is ignored instead of refused
formats/loader.cpp @@ if (used.t != sys.t || used.m != sys.m || used.l != sys.l) { @@ if (used.t != sys.t || used.m != sys.m) { @@ -l alone does not override the ID line's l
formats/ctext.cpp @@ if (d > dec.maxRank - dec.rank || dec.rank + d == 0) { @@ if (dec.rank + d == 0) { @@ a rank above C(v,k) is decoded into points outside 1..v
formats/ctext.cpp @@ } else if (cs2 != got.cs2File) { @@ } else if (false) { @@ a wrong second checksum is accepted
formats/ctext.cpp @@ if (cfExp && count >= 2) { @@ if (cfExp && count >= 3) { @@ a pair of equal differences is written without the repeat sign
formats/ctext.cpp @@ if (repeat == 0) stop = true; @@ (void)0; @@ a repeat count of 0 does not end the reading
formats/ctext.cpp @@ const size_t threshold = cll - 4; @@ const size_t threshold = cll - 3; @@ compressed text lines one character longer than -G allows
formats/cbin.cpp @@ if (value < 128) { @@ if (value <= 128) { @@ the difference 128 is written with a 7-bit code
formats/cbin.cpp @@ const unsigned q = (bits - 2 + 2) / 3; @@ const unsigned q = (bits - 2 + 1) / 3; @@ repeat code too narrow for some counts
formats/cbin.cpp @@ if (second == 1 && blocksRead == 0) { @@ if (false) { @@ a stream starting with a repeat code is not a sync error
formats/cbin.cpp @@ if (second == 0 && q == 7) { @@ if (false) { @@ filler codes are read as values
formats/cbin.cpp @@ if (s.endOfInput) break; @@ (void)0; @@ a code cut off by the end of the file still counts as a block
# --- verify: counter scan, skipper passes, complete walk, analysis, report
verify/coverage.cpp @@ if (counters[i - origin] < need && !emit(i)) return; @@ if (counters[i - origin] <= need && !emit(i)) return; @@ m = t: a t-subset met exactly l times is called losing
verify/coverage.cpp @@ if (chunk.first.size() < keep) chunk.first.push_back(index); @@ if (chunk.first.size() + 1 < keep) chunk.first.push_back(index); @@ m = t: a range keeps one losing t-subset fewer than -o (the default -o1 prints none)
verify/coverage.cpp @@ return budget.Left() || ctx.result.firstLosing.size() < keep; @@ return budget.Left(); @@ complete pass after sampled ones that used up -o: the certificate keeps only its first losing m-set
verify/coverage.cpp @@ mostLosing = std::max(mostLosing, res.losing); @@ mostLosing = res.losing; @@ verdict taken from the last pass only
verify/skipper.hpp @@ while (S[p] > v - (n - p)) { @@ while (S[p] >= v - (n - p)) { @@ skipper pass carries one value early and skips combinations
verify/coverage.cpp @@ combs / (ctx.options.ulMaxReport != 0 ? ctx.options.ulMaxReport : 1) + 1; @@ combs / (ctx.options.ulMaxReport != 0 ? ctx.options.ulMaxReport : 1); @@ progress lines one rank early
formats/nestedlist.cpp @@ if (io_.b == 0 || io_.k == k_) return true; @@ return true; @@ a "k" key that the blocks contradict passes
verify/coverage.cpp @@ if (c[pp.n - 1] != c[pp.n - 2] + 1) { @@ if (c[pp.n - 1] == c[pp.n - 2] + 1) { @@ complete pass: progress lines at the wrong combinations
verify/coverwalk.cpp @@ cand[d] = ~w.M[len] & PointRange(len == 0 ? 1 : prefix[len] + 1u, v - n + d); @@ cand[d] = ~w.M[len] & PointRange(len == 0 ? 1 : prefix[len] + 1u, v - n + d - 1); @@ complete walk never starts a combination at its last possible point
verify/coverwalk.cpp @@ for (unsigned x = 1; x <= v; ++x) @@ for (unsigned x = 1; x < v; ++x) @@ t = 1: point v never counts as covered
verify/coverwalk.cpp @@ if (static_cast<unsigned>(__builtin_popcountll(open)) < n - d) continue; @@ if (static_cast<unsigned>(__builtin_popcountll(open)) <= n - d) continue; @@ complete walk drops prefixes with exactly enough open points
verify/coverwalk.cpp @@ if (w.bad[d]) return true; @@ (void)0; @@ skipper passes: a remembered covered prefix is not trusted, stale masks are
verify/engine.cpp @@ if (low >= ctx.bNeeded) return false; @@ if (low > ctx.bNeeded) return false; @@ a block whose t-subsets are all met exactly l times is kept
formats/textfmt.cpp @@ return after < limit && IsDigit(*after); @@ return false; @@ "1;2;3" is read as 1 and a comment
verify/engine.cpp @@ if (counters[idx[i]] < cap) ++counters[idx[i]]; @@ ++counters[idx[i]]; @@ counters wrap at 256 instead of saturating
verify/engine.cpp @@ if (c < ctx.l) ctx.tally.ulUncovered += n; @@ if (c <= ctx.l) ctx.tally.ulUncovered += n; @@ summary counts t-subsets met exactly l times as uncovered
verify/engine.cpp @@ if (low != 0 && high - low < 3) high = low + 3; @@ if (low != 0 && high - low < 3) high = low + 2; @@ skipper settling: first pass only 2 above the last
verify/engine.cpp @@ for (int i = ctx.tally.sMaxCount; i >= ctx.tally.sMinCount; --i) @@ for (int i = ctx.tally.sMaxCount; i > ctx.tally.sMinCount; --i) @@ summary leaves out its lowest count
# --- output: file-name schemes, new files, system tree
output/fnames.cpp @@ l > lim.l || b > lim.b || @@ l > lim.l || b >= lim.b || @@ new-style name refused for b = 46655
output/fnames.hpp @@ int32_t b = 46655; @@ int32_t b = 46656; @@ new-style name accepted for b = 46656, which needs four digits
output/fnames.cpp @@ (useL && sys.l <= 9) @@ (useL && sys.l < 9) @@ -f1 writes 'a' instead of 9 for l = 9
output/fnames.cpp @@ (!useL || sys.l <= 9) && sys.b <= 9999; @@ (!useL || sys.l <= 9) && sys.b < 9999; @@ old-style name refused for b = 9999
output/newfile.cpp @@ return FlushStdout() ? CREATE_DUMPED : CREATE_NOTHING; @@ return CREATE_DUMPED; @@ a dump that standard output did not take counts as written
output/newfile.cpp @@ if (errno != EEXIST || req.replace) { @@ if (true) { @@ a file that appeared meanwhile is reported as a failed write
output/newfile.cpp @@ if (sys.fNewFNameScheme != 0 && BuildName(ns, sys)) return ns.name; @@ if (BuildName(ns, sys)) return ns.name; @@ new-style names without -f2
output/safefile.cpp @@ keepMode ? (st.st_mode & 0777) : 0666 @@ 0666 @@ -O does not keep the replaced file's permissions
output/safefile.cpp @@ (st.st_mode & 0777) @@ (st.st_mode & 07777) @@ -O carries set-user-ID and set-group-ID bits to the new file
output/safefile.cpp @@ if (!f.tempPath.empty()) { @@ if (false) { @@ a discarded temporary file stays beside the target
output/safefile.cpp @@ RENAME_NOREPLACE) == 0) @@ 0) == 0) @@ without -O the final rename replaces a file that appeared meanwhile
output/safefile.cpp @@ if (::link(f.tempPath.c_str(), f.target.c_str()) != 0) return false; @@ if (::rename(f.tempPath.c_str(), f.target.c_str()) != 0) return false; @@ without the non-replacing rename a file that appeared meanwhile is replaced
output/safefile.cpp @@ if (::lstat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return nullptr; @@ if (true) return nullptr; @@ -O replaces devices, FIFOs and directories
output/safefile.cpp @@ return ::stat(target.c_str(), &st) == 0 ? "a symbolic link to an existing file" : nullptr; @@ return nullptr; @@ -O replaces a link to an existing file
output/safefile.cpp @@ named.st_ino != written.st_ino) { @@ false) { @@ a swapped temporary name takes the target's place
output/safefile.cpp @@ errno = f.writeError != 0 ? f.writeError : (errno != 0 ? errno : EIO); @@ errno = errno != 0 ? errno : EIO; @@ a full disk reported as an input/output error
output/systree.cpp @@ if (n > 0 && n < bestCount) { @@ if (n > 0 && n <= bestCount) { @@ system tree: among equal counts the last name wins
output/systree.cpp @@ return *name == '\0'; @@ return true; @@ system tree: a name with a tail (4901683a.616.bak) matches the pattern
output/systree.cpp @@ if (b == 0 || b > 9999 || b > sys.ulAlloc || !sys.blocks) { @@ if (b == 0 || b > 9999 || !sys.blocks) { @@ system tree: a count above the blocks held is accepted
# --- the draw profile and the certificate
verify/profile.cpp @@ if (w.atLeast[j] + near[j] >= w.l) ++w.out.atLeastL[j]; @@ if (w.atLeast[j] + near[j] > w.l) ++w.out.atLeastL[j]; @@ draw profile: m-sets met by exactly l blocks left out of at_least_l
verify/profile.cpp @@ const unsigned c = w.meet[w.holders[i]] + 1u; @@ const unsigned c = w.meet[w.holders[i]]; @@ draw profile: the last point of a draw never counts
report/json.cpp @@ std::sort(blocks.begin(), blocks.end()); @@ (void)0; @@ sha256 depends on the order of the blocks in the file
api/verification.cpp @@ for (const auto p : set) pts.push_back(names(p)); @@ for (const auto p : set) pts.push_back(p); @@ certificate: losing.first in base 1 whatever the file's base
api/verification.cpp @@ r.counted = found.fCountExact != 0 && found.fUndecided == 0; @@ r.counted = true; @@ certificate: a count from a sampled last pass given as exact
# --- app: options, design run, exit status, batch modes, parameter search
app/options.cpp @@ Ranged(val, 0, 25, "-Q (skipperHigh)") @@ Ranged(val, 0, 24, "-Q (skipperHigh)") @@ -Q25 refused
app/options.cpp @@ Ranged(val, MIN_CLL, MAX_CLL, "-G (ComprLineLen)") @@ Ranged(val, MIN_CLL + 1, MAX_CLL, "-G (ComprLineLen)") @@ -G32 refused
app/options.cpp @@ Ranged(val, 0, 3, "-g (bCompressed)") @@ static_cast<uint32_t>(val.full & 0xFF) @@ -g258 is taken as 2
app/options.cpp @@ return arg[0] == '/' && std::strchr(arg + 1, '/') == nullptr; @@ return arg[0] == '/'; @@ an absolute path is taken for an option
app/options.cpp @@ if (isFirst && val.full == INTERNAL_ACCESS_VALUE && rs.fInternalOptions == 0) @@ if (val.full == INTERNAL_ACCESS_VALUE && rs.fInternalOptions == 0) @@ internal mode opened by a later argument
app/options.cpp @@ if (value == 0) value = unset; @@ (void)0; @@ an end value left at 0 is not the classic range
api/verification.cpp @@ if (i >= kept.size()) break; @@ if (i > kept.size()) break; @@ redundancy removal reads past the shrunk design when its last block goes
app/driver.cpp @@ } else if (!out.passed && rs.fWriteToNewFile != 0) { @@ } else if (!out.passed) { @@ -c writes no reduced design when the verification failed
app/driver.cpp @@ const bool testing = rs.fDoTesting != 0 || (force && verified.redundant > 0); @@ const bool testing = rs.fDoTesting != 0 || force; @@ -y- -y2 tests a design without redundant blocks too
app/driver.cpp @@ CheckRange(rs.usInBase, 0, 201, "-a (inBase)"); @@ CheckRange(rs.usInBase, 1, 201, "-a (inBase)"); @@ -a0 refused
app/driver.cpp @@ const bool outputAsked = @@ const bool outputAsked = rs.fWriteNonRedundantsToFile != 0 || @@ -c without redundant blocks counts as a missing file (exit 4)
app/driver.cpp @@ if (rs.fSortOutput != 0 && rs.bCompressed == 0) SortBlocks(sys.blocks.get(), sys.b, sys.k, false); @@ if (rs.bCompressed == 0) SortBlocks(sys.blocks.get(), sys.b, sys.k, false); @@ plain output sorted without -w
app/driver.cpp @@ if (out.passed && verified.sampledLastPass && sys.m != sys.t && !verified.proved) @@ if (out.passed && verified.sampledLastPass && !verified.proved) @@ "Use -Q0 -q0" warning for m = t too
app/driver.cpp @@ if (rs.fSkipCompleteDesigns != 0 && sys.t == sys.k && sys.m == sys.k) { @@ if (rs.fSkipCompleteDesigns != 0 && sys.t == sys.k) { @@ -S skips t = k designs with m > k
app/entry.cpp @@ if (lost != 0 && lost != EPIPE) { @@ if (lost != 0) { @@ a reader that went away (| head) is reported as a lost log
app/designlist.cpp @@ return out.outputMissing ? EXIT_OUTPUT_MISSING : 0; @@ return 0; @@ a missing output file does not give exit status 4
app/driver.cpp @@ return result == CREATE_FILE || result == CREATE_DUMPED; @@ return result != CREATE_NOTHING; @@ -D -g2 counts its temporary file as the file asked for
app/driver.cpp @@ if ((rs.usMskSeperatorline & 2u) != 0) @@ if ((rs.usMskSeperatorline & 1u) != 0) @@ -A: the line after a design follows bit 0
app/batch.cpp @@ if (!cdsOnly && v < k) continue; @@ if (!cdsOnly && v <= k) continue; @@ TestAll skips v = k
app/batch.cpp @@ for (unsigned m = startMark ? m0 : t; m <= 7; ++m) { @@ for (unsigned m = startMark ? m0 : t; m < 7; ++m) { @@ batch modes never reach m = 7
app/search.cpp @@ for (unsigned long vc = v + (m - t); vc >= v; --vc) { @@ for (unsigned long vc = v + (m - t); vc > v; --vc) { @@ search never tries v itself
app/search.cpp @@ if (rs.ulSkipperLow != 0) { @@ if (false) { @@ search accepts a sampled last pass (-q)
app/search.cpp @@ for (unsigned long l = 2; l <= 255; ++l) { @@ for (unsigned long l = 2; l < 255; ++l) { @@ search never reaches l = 255
app/search.cpp @@ if (file == STDIN_NAME) KeepStandardInput(bound); @@ (void)0; @@ search on a pipe cannot read it a second time
app/search.cpp @@ s.v += seen[blocks[i]] ? 0 : 1; @@ s.v += 1; @@ the search counts a JSON list's points with their repeats
# --- shares, the merge, the readers' refusals, the time limit
api/merging.cpp @@ if (s.c.fingerprint != first.c.fingerprint || s.c.partCount != first.c.partCount || @@ if (s.c.partCount != first.c.partCount || @@ merge takes a share of another test
api/merging.cpp @@ s.c.fingerprint != PartFingerprint(s.c.params, s.c.sha256)) { @@ false) { @@ merge takes a share whose parameters were edited
api/merging.cpp @@ complete = false; @@ (void)0; @@ merge does without a missing share
report/json.cpp @@ if (Sha256Hex(j.dump(-1, ' ', false, json::error_handler_t::replace)) != digest) { @@ if (false) { @@ merge takes a share damaged after it was written
verify/prover.cpp @@ if (CountPoints(w) != q.m || BlocksMeeting(*q.blocks, w, q.t) >= q.l) return false; @@ if (CountPoints(w) != q.m) return false; @@ a witness of the proof search is believed without its count
api/merging.cpp @@ bool fits = s.c.cutFrom <= s.c.cutTo && s.c.cutTo <= s.c.cutOf && s.c.cutFrom == expectFrom && @@ bool fits = s.c.cutFrom <= s.c.cutTo && s.c.cutTo <= s.c.cutOf && @@ merge takes shares cut differently
api/merging.cpp @@ if (c.losingCount != 0 || !c.losingFirst.empty()) return refuse("OK with losing m-sets"); @@ (void)0; @@ merge takes an OK share that lists losing sets
api/merging.cpp @@ if (c.losingCount < c.losingFirst.size()) return refuse("fewer losing m-sets than it lists"); @@ (void)0; @@ merge takes a count below the sets listed
api/merging.cpp @@ return refuse("a losing set that is not m distinct ascending points of the design"); @@ continue; @@ merge prints sets of other sizes or points out of range
api/merging.cpp @@ if (s.c.losingCount > UINT64_MAX - losing) { @@ if (false) { @@ the shares' total wraps around
api/merging.cpp @@ if (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)) return true; @@ return true; @@ a directory or a device merges as no shares
api/merging.cpp @@ if (s.c.losingFirst.size() < s.c.losingCount) { @@ if (false) { @@ merge prints the sets after a gap as the design's next ones
verify/coverage.cpp @@ ranges.push_back(Range{std::max(c.lo, first), std::min(c.hi, end), i}); @@ ranges.push_back(Range{c.lo, c.hi, i}); @@ a share scans its chunks beyond its piece (shares overlap)
app/options.cpp @@ if (w.asked) { @@ if (false) { @@ a share writes, reduces or profiles the design
formats/textfmt.cpp @@ const bool clean = pos == end || IsSeparator(*pos); @@ const bool clean = true; @@ "3.5" is read as 3
formats/textfmt.cpp @@ if (pos - begin == 1) return true; @@ if (pos - begin == 1) return false; @@ "-1" at a line's start is read as 1
formats/nestedlist.cpp @@ if (std::find(keys_.begin(), keys_.end(), name) != keys_.end()) @@ if (false) @@ two "blocks" keys are joined into one list
formats/loader.cpp @@ if (!HeaderHoldsNumber(piece.begin, piece.end)) return; @@ return; @@ a header line with a number is passed over without a word
formats/loader.cpp @@ if (opt.baseGiven && opt.base >= 0 && io.base != opt.base) @@ if (false) @@ the file's base replaces -a without a word
formats/loader.cpp @@ if (names.empty()) return true; @@ return true; @@ an object without t, m, l fails without naming them
api/verification.cpp @@ CheckDeadline(st.deadline); @@ (void)0; @@ the redundancy analysis runs past --time-limit
app/entry.cpp @@ if (file.written == 0 && file.writeError == 0) { @@ if (false) { @@ a failed start leaves an empty certificate
# --- several designs, the search's answer, the user's numbers, counts
app/designlist.cpp @@ return Badness(second) > Badness(first) ? second : first; @@ return second; @@ several designs: a later OK hides an earlier FAIL
app/designlist.cpp @@ case EXIT_UNDECIDED: return 2; @@ case EXIT_UNDECIDED: return 0; @@ several designs: a missing output outweighs an undecided test
app/designlist.cpp @@ case 1: return 3; @@ case 1: return 2; @@ several designs: an undecided test hides a FAIL after it
app/designlist.cpp @@ default: return 4; @@ default: return 3; @@ several designs: a design that could not be read weighs no more than a FAIL
app/designlist.cpp @@ if (inputs.size() == 1) { @@ if (!inputs.empty()) { @@ several designs: an error in one ends the run before the others
app/designlist.cpp @@ if (each.fJson != 0 && (fatal || !out.certified)) @@ if (each.fJson != 0 && fatal) @@ several designs: a design that was not loaded leaves no line under --json
app/options.cpp @@ if (rs.designFiles.size() > 1) CheckSeveralDesigns(rs); @@ (void)0; @@ -z2, --output and --part are taken with several designs
app/options.cpp @@ if (rs.szOutputFile == STDIN_NAME) { @@ if (false) { @@ --json and --output=- mix certificates and a design on standard output
app/options.cpp @@ if (rs.fDumpToStdout != 0) { @@ if (false) { @@ --json and -D may mix certificates and a design on standard output
app/options.cpp @@ if (!optionsEnded && std::strcmp(arg, END_OF_OPTIONS) == 0) { @@ if (false) { @@ "--" is an unknown option instead of the end of the options
app/options.cpp @@ if (std::strcmp(arg, END_OF_OPTIONS) == 0) break; // file names follow @@ (void)0; @@ a file named --help after "--" shows the long help
formats/idline.cpp @@ if (!FollowsOldStyleScheme(name, ext)) return; @@ (void)0; @@ every file name is compared with the ID line (notes for reduced.txt)
formats/idline.cpp @@ (IsDigit(ext[2]) || isA(ext[2])) @@ IsDigit(ext[2]) @@ a scheme name whose l is 'a' is not compared
base/console.cpp @@ if (gLeftOut != nullptr && StartsWith(line, gLeftOut)) return false; @@ (void)0; @@ the search warns about its copy's missing ID line at every candidate
verify/verdict.cpp @@ if (count != 0 && percent < 0.05) @@ if (false) @@ 462 losing m-sets out of 13983816 read 0.0%
verify/verdict.cpp @@ else if (count < combinations && percent >= 99.95) @@ else if (false) @@ all but a few m-sets losing reads 100.0%
verify/verdict.cpp @@ if (count < 10000000) @@ if (count < 100000000) @@ an 8-digit losing count runs into the colon
verify/coverage.cpp @@ if (c < 1000000000) @@ if (c <= 9999999999) @@ a 10-digit count runs into "Finished"
verify/verdict.cpp @@ if (of.candidate) { @@ if (false) { @@ the search's candidates end with "TestRetCode: FAIL!"
verify/verdict.cpp @@ end = PutUnsigned(end, named[i], 2); @@ end = PutUnsigned(end, named[i], 1); @@ losing lines lose their two-column points
verify/meetwalk.hpp @@ for (unsigned d = 1; d <= len && !PrefixCovered(w); ++d) PushPoint(w, prefix[d]); @@ for (unsigned d = 1; d < len && !PrefixCovered(w); ++d) PushPoint(w, prefix[d]); @@ a thread's meet walk drops the last point of its prefix job
app/driver.cpp @@ moved = moved || original[i] != sys.given.usFileBase + i; @@ moved = true; @@ -z prints a mapping even when no point moved
app/driver.cpp @@ rs.fWriteNonRedundantsToFile != 0 && !o.reduced && !rs.szOutputFile.empty() && out.passed; @@ false; @@ -c --output writes nothing when nothing went
app/search.cpp @@ rs.fJson = 0; @@ (void)0; @@ -z2 --json writes a certificate per candidate
# --- the library facade
api/designs.cpp @@ if (p < low || p > high) { @@ if (p < low || p > high + 1) { @@ a design made from rows takes a point one beyond v
api/designs.cpp @@ if (std::find(row.begin(), row.begin() + static_cast<ptrdiff_t>(j), row[j]) != @@ if (false && std::find(row.begin(), row.begin() + static_cast<ptrdiff_t>(j), row[j]) != @@ a design made from rows takes a point twice in a block
api/call.cpp @@ if (line_.compare(start, 3, "Err") == 0 && line_.compare(start, 8, "ErrExit:") != 0) { @@ if (line_.compare(start, 3, "Err") == 0) { @@ an error's message carries the fatal exit's own line
# --- info: the screens
info/screens.cpp @@ Hu(rs.fUseL_InOldStyleFNames == 0 ? 1 : 0) @@ Hu(rs.fUseL_InOldStyleFNames != 0 ? 1 : 0) @@ help shows the -f0 setting inverted
info/screens.cpp @@ DualPrint("  -a  input base  (%hu..%hu=%hu)\n", Hu(0), Hu(MAX_BASE), Hu(rs.usInBase)); @@ DualPrint("  -a  input base  (%hu..%hu=%hu)\n", Hu(0), Hu(MAX_BASE - 1), Hu(rs.usInBase)); @@ help gives the wrong upper limit of -a
info/screens.cpp @@ Hu(rs.fInternalOptions), Hu(1)); @@ Hu(0), Hu(1)); @@ -i does not show the internal mode flag
# --- designs up to relabelling, lambdas, block designs in XML
symmetry/canonical.cpp @@ nauty_kill_request = 1; @@ (void)0; @@ the canonical form runs past --time-limit
symmetry/canonical.cpp @@ if (stats.errstatus != 0) return out; @@ if (false) return out; @@ an abandoned search is taken for a canonical form
symmetry/canonical.cpp @@ if (i + 1 == order.size() || order[i + 1].first != order[i].first) ptn[v + i] = 0; @@ if (i + 1 == order.size()) ptn[v + i] = 0; @@ blocks of every multiplicity in one cell: repeats are not told apart
symmetry/canonical.cpp @@ for (const int f : factors) MultiplyDecimal(digits, static_cast<unsigned>(f)); @@ for (const int f : factors) MultiplyDecimal(digits, static_cast<unsigned>(f) + (f > 1)); @@ the group order is not the product of the stabiliser indices
api/relabelling.cpp @@ if (Relabelled(ra, ca.label) != Relabelled(rb, cb.label)) { @@ if (false) { @@ designs with different canonical forms are taken for isomorphic
verify/tsets.cpp @@ out.push_back({*lo, *hi}); @@ out.push_back({*lo, *lo}); @@ the most blocks on an s-subset is the fewest
formats/xmldesign.cpp @@ if (!WholeNumber(z.child_value(), UINT16_MAX, p) || p >= v) @@ if (!WholeNumber(z.child_value(), UINT16_MAX, p) || p > v) @@ XML: point v is accepted
formats/xmldesign.cpp @@ if (std::find(points.begin() @@ if (false && std::find(points.begin() @@ XML: a point twice in a block is accepted
formats/xmldesign.cpp @@ if (size != k) @@ if (size > k) @@ XML: a block with fewer points than the first is accepted
formats/xmldesign.cpp @@ given != b)) @@ given < b)) @@ XML: a "b" above the blocks is believed
formats/xmldesign.cpp @@ io.t = io.m = static_cast<uint16_t>(t); @@ io.t = static_cast<uint16_t>(t); @@ XML: the t-design parameters leave m as it was
# --- point sets of any width, the analysis on a team, the reduction on threads
verify/pointset.hpp @@ return v <= 64 ? 1 : v <= 128 ? 2 : v <= 256 ? 4 : v <= 512 ? 8 : 16; @@ return v <= 64 ? 1 : v <= 133 ? 2 : v <= 256 ? 4 : v <= 512 ? 8 : 16; @@ 129..133 points in two words: PG(2,11) loses its last points
verify/pointset.hpp @@ s.w[i] = (~uint64_t{0} >> (63 - to)) & (~uint64_t{0} << from); @@ s.w[i] = (~uint64_t{0} >> (63 - to)) & (~uint64_t{0} << from) & ~uint64_t{1}; @@ four words and more: a range of points leaves out each word's first point
output/fnames.hpp @@ int32_t v = MAX_V; @@ int32_t v = 255; @@ new-style names refused beyond 255 points
formats/cbin.cpp @@ if (sys.v > MAX_CBIN_V) { @@ if (false) { @@ compressed binary written for v = 300, its header cut to eight bits
verify/engine.cpp @@ || i + t == n) cut[++count] = i + 1; @@ || i + t == n) cut[++count] = i; @@ threads: the last first point of each piece of a block left unmarked
verify/engine.cpp @@ const size_t k = 2 * i + parity; @@ const size_t k = i + parity; @@ threads: some pieces of a block marked twice, others never
verify/engine.cpp @@ return std::find(fresh, fresh + pieces, true) != fresh + pieces || !test; @@ return true; @@ threads: no wide block is found redundant
verify/meetwalk.cpp @@ if (out[i] != 0) w.meet[i] = kLeftOut; @@ if (out[i] != 0) w.meet[i] = 0; @@ reduction: a block tried against itself and the blocks gone
verify/meetwalk.cpp @@ w.meet[block] = out ? kLeftOut : 0; @@ w.meet[block] = kLeftOut; @@ reduction: a tried block never comes back into the walk
EOF
}

# ---------------------------------------------------------------------------

usage() { sed -n '/^# Usage:/,/^#   -h/s/^# \{0,1\}//p' "$0"; }

BUILD=build/mutate
JOBS=2
TIMEOUT=30
CHECK_ONLY=0
RUN_EQUIVALENT=0
while getopts "B:j:t:ceh" opt; do
  case $opt in
  B) BUILD=$OPTARG ;;
  j) JOBS=$OPTARG ;;
  t) TIMEOUT=$OPTARG ;;
  c) CHECK_ONLY=1 ;;
  e) RUN_EQUIVALENT=1 ;;
  h) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
FILTERS=("$@")

die() {
  echo "mutate.sh: $*" >&2
  exit 2
}

ROOT=$(cd "$(dirname "$0")/.." && pwd) || die "cannot find the source tree"
cd "$ROOT" || die "cannot enter $ROOT"
[[ -f src/CMakeLists.txt ]] || die "$ROOT holds no src/CMakeLists.txt"
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
for tool in python3 cmake ctest ninja g++ flock; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is not installed"
done

# The exact replacement, and the check that the original occurs exactly once
# (overlapping occurrences counted): "count" prints the number, "apply"
# rewrites the file and fails unless the number is 1.
edit() {
  python3 - "$@" <<'PY'
import sys
mode, path, orig, repl = sys.argv[1:5]
orig_b = orig.encode("utf-8", "surrogateescape")
repl_b = repl.encode("utf-8", "surrogateescape")
try:
    with open(path, "rb") as f:
        text = f.read()
except OSError:
    print(-1)
    sys.exit(0 if mode == "count" else 1)
count, at = 0, text.find(orig_b)
while at >= 0 and count < 2:
    count += 1
    at = text.find(orig_b, at + 1)
if mode == "count":
    print(count)
    sys.exit(0)
if count != 1 or orig_b == repl_b:
    sys.exit(1)
with open(path, "r+b") as f:
    f.write(text.replace(orig_b, repl_b, 1))
    f.truncate()
PY
}

# ---- the list
FILES=() ORIGS=() REPLS=() DESCS=()
lineno=0
while IFS= read -r line; do
  lineno=$((lineno + 1))
  [[ -z ${line//[[:space:]]/} || $line == \#* ]] && continue
  fields=$(grep -o ' @@ ' <<<"$line" | wc -l)
  ((fields == 3)) || die "mutant list line $lineno needs 4 fields separated by ' @@ ': $line"
  rest=$line
  FILES+=("${rest%% @@ *}"); rest=${rest#* @@ }
  ORIGS+=("${rest%% @@ *}"); rest=${rest#* @@ }
  REPLS+=("${rest%% @@ *}"); rest=${rest#* @@ }
  DESCS+=("$rest")
done < <(mutant_list)
TOTAL=${#FILES[@]}

selected() { # index
  local i=$1 f
  ((${#FILTERS[@]} == 0)) && return 0
  for f in "${FILTERS[@]}"; do
    if [[ $f =~ ^[0-9]+$ ]]; then
      ((f == i + 1)) && return 0
    elif [[ ${FILES[i]} == *"$f"* ]]; then
      return 0
    fi
  done
  return 1
}

is_equivalent() { [[ ${DESCS[$1]} == equivalent:* ]]; }

# The description, or for an equivalent mutant the reason.
text() {
  local d=${DESCS[$1]#equivalent:}
  echo "${d# }"
}

applicable() { [[ $(edit count "src/${FILES[$1]}" "${ORIGS[$1]}" "") == 1 ]]; }

# ---- one run per source tree (whatever its build directory), and a mutant
# left behind by a run that could not clean up (kill -9) goes back first
STATE=$ROOT/build/.mutate
mkdir -p "$ROOT/build" || die "cannot create $ROOT/build"
exec 9>"$STATE.lock" || die "cannot open $STATE.lock"
flock -n 9 || die "another mutation run holds $STATE.lock"

PENDING=""
restore() {
  [[ -n $PENDING && -f $STATE.orig ]] || return 0
  # Written over the file rather than moved back: a new time stamp makes the
  # build recompile it.
  cat "$STATE.orig" >"$PENDING" && rm -f "$STATE.orig" "$STATE.path"
  PENDING=""
}
if [[ -f $STATE.path && -f $STATE.orig ]]; then
  PENDING=$(cat "$STATE.path")
  echo "restoring $PENDING, left mutated by an interrupted run"
  restore || die "could not restore $PENDING from $STATE.orig"
fi
trap restore EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if ((CHECK_ONLY)); then
  bad=0 checked=0
  for ((i = 0; i < TOTAL; ++i)); do
    selected "$i" || continue
    checked=$((checked + 1))
    n=$(edit count "src/${FILES[i]}" "${ORIGS[i]}" "")
    if [[ $n != 1 ]]; then
      bad=$((bad + 1))
      printf '#%-3d not applicable (%s occurrences) %s: %s\n' $((i + 1)) "$n" \
        "${FILES[i]}" "${ORIGS[i]}"
    fi
  done
  echo "$checked of $TOTAL mutants checked, $bad not applicable"
  exit 0
fi

src_sums() { find src -type f -print0 | sort -z | xargs -0 sha1sum; }
SUMS_BEFORE=$(src_sums)

LOGDIR=$BUILD/mutants
TARGETS=(kovra_unit_tests kovra_golden_tests)

configure() {
  nice cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOVRA_TESTS=ON \
    -DKOVRA_BENCH=OFF -DKOVRA_PYTHON=OFF -DKOVRA_WERROR=OFF -DCMAKE_CXX_COMPILER=g++
}
build() { nice cmake --build "$BUILD" -j "$JOBS" --target "${TARGETS[@]}"; }
run_tests() {
  nice ctest --test-dir "$BUILD" -L 'unit|golden' -j "$JOBS" --timeout "$TIMEOUT" \
    --no-tests=error --stop-on-failure --output-on-failure
}

START=$(date +%s)
echo "configuring and building $BUILD"
mkdir -p "$LOGDIR" || die "cannot create $LOGDIR"
configure >"$LOGDIR/baseline.log" 2>&1 </dev/null || die "configuring failed; see $LOGDIR/baseline.log"
build >>"$LOGDIR/baseline.log" 2>&1 </dev/null || die "the unmutated source does not build; see $LOGDIR/baseline.log"
echo "running the tests on the unmutated source"
run_tests >>"$LOGDIR/baseline.log" 2>&1 </dev/null ||
  die "the tests fail without any mutant; see $LOGDIR/baseline.log"

KILLED=() SURVIVED=() STILLBORN=() NOT_APPLICABLE=() EQUIVALENT=() EQUIV_KILLED=()
count=0
for ((i = 0; i < TOTAL; ++i)); do selected "$i" && count=$((count + 1)); done
done_count=0
for ((i = 0; i < TOTAL; ++i)); do
  selected "$i" || continue
  done_count=$((done_count + 1))
  id=$((i + 1))
  file=src/${FILES[i]}
  label=$(printf '[%2d/%d] #%-3d' "$done_count" "$count" "$id")
  if ! applicable "$i"; then
    NOT_APPLICABLE+=("$i")
    printf '%s %-14s %s: %s\n' "$label" "not applicable" "${FILES[i]}" "$(text "$i")"
    continue
  fi
  if is_equivalent "$i" && ((!RUN_EQUIVALENT)); then
    EQUIVALENT+=("$i")
    printf '%s %-14s %s: %s\n' "$label" "equivalent" "${FILES[i]}" "$(text "$i")"
    continue
  fi

  log=$(printf '%s/%02d.log' "$LOGDIR" "$id")
  t0=$(date +%s)
  { cp "$file" "$STATE.orig" && echo "$file" >"$STATE.path"; } || die "cannot save $file"
  PENDING=$file
  edit apply "$file" "${ORIGS[i]}" "${REPLS[i]}" || die "cannot apply mutant #$id"
  {
    echo "mutant #$id: ${FILES[i]}: ${DESCS[i]}"
    echo "- ${ORIGS[i]}"
    echo "+ ${REPLS[i]}"
  } >"$log"
  if ! build >>"$log" 2>&1 </dev/null; then
    status=stillborn
    STILLBORN+=("$i")
  elif run_tests >>"$log" 2>&1 </dev/null; then
    status=survived
    if is_equivalent "$i"; then EQUIVALENT+=("$i"); else SURVIVED+=("$i"); fi
  else
    status=killed
    if is_equivalent "$i"; then EQUIV_KILLED+=("$i"); else KILLED+=("$i"); fi
  fi
  restore || die "could not restore $file"
  # The first failing test, for the record.
  by=""
  [[ $status == killed ]] && by=$(sed -n '/tests FAILED:/{n;s/^[[:space:]]*//;p;q;}' "$log")
  printf '%s %-14s %s: %s (%ds)\n' "$label" "$status" "${FILES[i]}" "${DESCS[i]}" \
    $(($(date +%s) - t0))
  echo "result: $status ${by:+($by)}" >>"$log"
done

echo "rebuilding $BUILD from the restored source"
nice cmake --build "$BUILD" -j "$JOBS" >"$LOGDIR/final.log" 2>&1 </dev/null
rebuilt=$?

describe() { # indices...
  local i
  for i in "$@"; do printf '  #%-3d %s: %s\n' $((i + 1)) "${FILES[i]}" "$(text "$i")"; done
}
n_run=$((${#KILLED[@]} + ${#SURVIVED[@]} + ${#STILLBORN[@]} + ${#NOT_APPLICABLE[@]}))
{
  echo
  printf 'killed %d of %d (%d survived, %d stillborn, %d not applicable)\n' "${#KILLED[@]}" \
    "$n_run" "${#SURVIVED[@]}" "${#STILLBORN[@]}" "${#NOT_APPLICABLE[@]}"
  if ((${#SURVIVED[@]})); then
    echo "survivors (faults the tests let through):"
    describe "${SURVIVED[@]}"
  fi
  if ((${#STILLBORN[@]})); then
    echo "stillborn (do not compile; fix the list):"
    describe "${STILLBORN[@]}"
  fi
  if ((${#NOT_APPLICABLE[@]})); then
    echo "not applicable (the original text is gone or not unique; fix the list):"
    describe "${NOT_APPLICABLE[@]}"
  fi
  if ((${#EQUIVALENT[@]})); then
    echo "equivalent, not counted (why they cannot change the behaviour):"
    describe "${EQUIVALENT[@]}"
  fi
  if ((${#EQUIV_KILLED[@]})); then
    echo "marked equivalent but killed (the mark is wrong):"
    describe "${EQUIV_KILLED[@]}"
  fi
  echo "time: $(($(date +%s) - START)) s; logs in $LOGDIR"
} | tee "$LOGDIR/report.txt"
((rebuilt == 0)) || die "the restored source does not build; see $LOGDIR/final.log"
[[ $(src_sums) == "$SUMS_BEFORE" ]] || die "src/ is not what it was before the run; see git diff"
exit 0
