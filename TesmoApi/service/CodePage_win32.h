// Texts for the ANSI calls of Windows: the program's texts are UTF-8; what it
// shows and hands to SC is Windows-1252.
#pragma once

#include <cstddef>

// Converts the UTF-8 text into local (size bytes, terminated) in the
// Windows-1252 code page. False when it does not fit.
bool ToWindows1252(const char* text, char* local, size_t size);
