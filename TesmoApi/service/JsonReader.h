// JSON value lookup by path, without a tree and without allocation.
//
// The service reads JSON in two places: the configuration file and the
// parameter document built from a request's query. Both only ask for the text
// of the value at a path such as "api.listen_port" or "points[2].id". The
// reader walks the text from its start, validates every token it passes over
// (strings, UTF-8, escapes, numbers) and stops as soon as the wanted value has
// been read, so the rest of the document is never examined.
//
// Path grammar: key segments are runs of characters up to the next "." or
// "["; index segments are "[digits]"; "." separates segments and may be left
// out after an index ("a[0]b" reads like "a[0].b"). Keys are compared byte for
// byte with the raw text between a member key's quotes (escapes not decoded).
#pragma once

#include <cstdint>

// Copies the raw text of the value at `path` of `document` into `value`.
// Strings come without their quotes and with their escapes as written;
// numbers and literals exactly as written; objects and arrays whole.
// `value` must hold capacity + 1 bytes: the text is terminated by a NUL.
// Returns false, leaving `value` untouched, when the document or the path is
// null or empty, the path is malformed, the value cannot be reached, or its
// text is longer than `capacity`.
bool JsonGetValue(const char* document, const char* path, char* value, uint32_t capacity);
