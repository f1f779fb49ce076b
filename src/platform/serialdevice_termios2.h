#pragma once
// Bit rates that <termios.h> has no constant for (128000, 256000 ...) go through termios2 BOTHER.
// Kept in its own file: <asm/termbits.h> and <termios.h> cannot be included together.

namespace kelmor::platform::detail {

// Sets both speeds of fd to `rate` bit/s, leaving every other flag as it is. False on failure.
bool SetArbitrarySpeed(int fd, int rate);

}  // namespace kelmor::platform::detail
