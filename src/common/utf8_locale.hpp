#pragma once

namespace common {
// Makes the character handling of the C library UTF-8 before Qt starts, when the user's
// locale (or its absence: cron, ssh, a system service, a bare container) names another
// codeset. Qt would switch to UTF-8 itself, but says so in four lines on stderr at every
// start, into every script that runs drevonix-cli. Only LC_CTYPE changes: numbers,
// messages and the rest keep the user's locale. Does nothing on Windows.
void chooseUtf8Ctype();
}  // namespace common
