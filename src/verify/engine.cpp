// The verification engine.
#include "verify/engine.hpp"

namespace kovra {

// Placeholders until the engine is written: nothing is counted, every test fails.
void InitTestContext(TestContext& ctx) { ctx.counters.reset(); }
bool SetupAnalysis(TestContext&, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, bool, uint32_t,
                   uint32_t, bool, bool, uint16_t, SkipperSettings&, bool, bool) {
  return false;
}
bool ResetCounters(TestContext&) { return false; }
void FreeCounters(TestContext& ctx) { ctx.counters.reset(); }
bool IsBlockNeeded(const TestContext&, const Block&) { return true; }
bool AnalyseBlock(TestContext&, const Block&) { return true; }
void AnalyseDerivedDesign(TestContext&, const Block*, uint32_t) {}
bool TestDesign(TestContext&, const char*) { return false; }
bool ScanTSetCounters(uint16_t, uint16_t, uint8_t, const uint8_t*, uint32_t*, uint32_t, uint16_t) {
  return false;
}
bool MultiPassTest(TestContext&, uint32_t*, uint32_t*) { return false; }
void PrintProgress(TestContext&, uint32_t, uint32_t, const uint8_t*, int16_t) {}
void PrintCombCount(const TestContext&, const char*, uint32_t, uint32_t) {}
void PrintTSetReport(TestContext&) {}
void TallyTSet(TestContext&, const uint8_t*) {}

} // namespace kovra
