// kovra_make_s5648: writes the Steiner system S(5,6,48) as a plain KOVRA file.
//
//   kovra_make_s5648 [OUTFILE]
//
// OUTFILE defaults to standard output. What the orbit search did goes to
// standard error. The output depends on nothing but the program, so two runs
// give the same bytes.
#include "steiner48.hpp"

#include <cstdio>
#include <memory>

namespace {

struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

int main(int argc, char** argv) {
  using namespace kovra::steiner48;
  S5648 design;
  if (!MakeS5648(design)) {
    std::fprintf(stderr, "kovra_make_s5648: no orbit cover found\n");
    return 1;
  }
  const OrbitCover& c = design.cover;
  std::fprintf(stderr, "%s: %u orbits of 5-sets, %u of 6-sets, %u candidates, %llu search nodes\n",
               GroupName(design.group), c.fiveOrbits, c.sixOrbits, c.candidates,
               static_cast<unsigned long long>(c.nodes));
  for (const Orbit& o : c.chosen)
    std::fprintf(stderr, "  orbit of %s: %u blocks\n", DescribeSet(o.rep).c_str(), o.size);
  std::fprintf(stderr, "%zu blocks\n", design.blocks.size());

  if (argc > 1) {
    std::unique_ptr<std::FILE, FileClose> out(std::fopen(argv[1], "wb"));
    if (!out || !WriteS5648(out.get(), design) || std::fclose(out.release()) != 0) {
      std::fprintf(stderr, "kovra_make_s5648: cannot write %s\n", argv[1]);
      return 1;
    }
  } else if (!WriteS5648(stdout, design)) {
    return 1;
  }
  return 0;
}
