// The library's own text codec against the table of cases it shares with
// the service's codec.
#include <gtest/gtest.h>

#include "TextCases.h"
#include "TextCodec.h"

using namespace portavex;

TEST(TextCodec, KeepsToTheCodecCases) {
    ExpectCodecKeepsToTheCases(
        {Utf8SequenceLength, EncodeUtf8, Windows1252CodePoint, JsonEscapeByte, HexDigitValue});
}
