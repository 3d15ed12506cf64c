// The fatal exit.
#include "base/fatal.hpp"

#include "base/console.hpp"

namespace kovra {

void ErrExit(int code, const char* text1, const char* text2) {
  DualPrint("\n");
  if (code != 0) {
    DualPrint("ErrExit: %d", code);
    if (text1 != nullptr && *text1 != '\0') DualPrint(" <%s>", text1);
    if (text2 != nullptr && *text2 != '\0') DualPrint(" <%s>", text2);
    DualPrint("\n");
  }
  ConsoleFlush();
  throw FatalExit{code};
}

} // namespace kovra
