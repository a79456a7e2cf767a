// The bytes of every answer header the server sends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Portavex.h"

namespace portavex {

// Status line text of a result ("200 OK" ... "501 NOT IMPLEMENTED").
const char* StatusText(eRequestResult result);
bool IsKnownResult(int result);

// Writes the header of an answer into out (kHeaderSize bytes) and returns its
// length. A body (length > 0) gets Content-Type, from the type registered for
// extension, and Content-Length. An Ok answer without body gets
// "Content-Length: 0", since the connection stays open after it; other
// answers without body end with the connection. origin adds the
// cross-origin line.
size_t FormatHeader(char* out, eRequestResult status, bool origin, uint64_t length,
                    const char* extension);

// The content type for extension (dot included) into type (kContentTypeSize
// bytes): the registered one, or "application/unknown".
void ContentTypeFor(const char* extension, char* type);

}  // namespace portavex
