// Decides whether a requested name may be looked up below the root
// directory: it must stay inside it whatever the file system makes of it.
#pragma once

namespace portavex {

// A relative name of '/'-separated segments; refused are rooted names,
// backslashes, drive letters and stream suffixes (':'), empty segments,
// segments ending in '.' or ' ' (among them "." and ".."), characters that
// Windows does not allow in names, and Windows device names (CON, NUL,
// COM1, ... with any extension).
bool IsServableName(const char* name);

}  // namespace portavex
