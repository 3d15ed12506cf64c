// The key prompt between screens and the throttled ESC poll of the batch modes.
#pragma once

namespace kovra {

inline constexpr int KEY_ESC = 27;

// Prints a line end; in batch mode returns 0 at once. Otherwise, when
// standard input and output are both terminals, prompts (on standard error
// when it is a terminal), reads one key without echo or line end and erases
// the prompt. Returns the key, or -1 when nobody at a terminal can answer
// (then nothing waits).
int WaitKey(bool batchMode);

// Looks at the keyboard at most once per 5 whole seconds (the first look comes
// more than 5 seconds after the first call) and never blocks. Returns 0 when
// no key was read, else the key with ASCII capitals lowered; 27 is ESC.
int PollKey();

// Forgets the throttle so the next PollKey call counts as the first. For tests.
void ResetPollKeyForTest();

} // namespace kovra
