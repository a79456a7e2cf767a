// Rules on requested file names: whether a name may be looked up below the
// root directory (it must stay inside it whatever the file system makes of
// it), and whether a name is a copy of a hidden file's name.
#pragma once

namespace portavex {

// A relative name of '/'-separated segments. "." segments and ".." segments
// that stay inside the root are resolved later by the path combination;
// refused are a ".." that climbs above the root, a name whose last segment
// is "." or "..", rooted names, backslashes, drive letters and stream
// suffixes (':'), empty segments, other segments ending in '.' or ' ',
// characters that Windows does not allow in names, and Windows device names
// (CON, NUL, COM1, ... with any extension).
bool IsServableName(const char* name);

// Whether name (one segment) is hidden (a file name such as
// "TesmoApi.json") or a backup or editor copy of it, ignoring letter case:
// - hidden followed by anything: "TesmoApi.json.bak", "TesmoApi.json~";
// - the same after a leading '.' or '#': ".TesmoApi.json.swp",
//   ".TesmoApi.json.un~", "#TesmoApi.json#";
// - hidden's stem, a character that is neither letter nor digit, anything
//   and hidden's extension: "TesmoApi - Copy.json", "TesmoApi (2).json".
bool IsCopyOfName(const char* name, const char* hidden);

}  // namespace portavex
