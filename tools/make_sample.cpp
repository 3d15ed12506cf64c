// kovra_make_sample: writes the sample design samples/4901683a.616.
//
//   kovra_make_sample [C27FILE [OUTFILE]]
//
// C27FILE defaults to tools/data/C27_6_3_4_1_b86_lotto_valid.txt of the source
// tree, OUTFILE to standard output. The output depends on nothing but the
// input, so running it again gives the committed file byte for byte.
#include "sample.hpp"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  const std::string input =
      argc > 1 ? argv[1] : KOVRA_TOOLS_DATA_DIR "/C27_6_3_4_1_b86_lotto_valid.txt";
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::cerr << "kovra_make_sample: cannot read " << input << "\n";
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();

  std::string sample;
  std::string error;
  if (!kovra::sample::MakeSampleText(text.str(), sample, error)) {
    std::cerr << "kovra_make_sample: " << input << ": " << error << "\n";
    return 1;
  }
  if (argc > 2) {
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << sample;
    out.close();
    if (!out) {
      std::cerr << "kovra_make_sample: cannot write " << argv[2] << "\n";
      return 1;
    }
  } else {
    std::cout << sample << std::flush;
    if (!std::cout) return 1;
  }
  return 0;
}
