// Reading Accept-Encoding: which values allow a gzip-coded answer, and the
// header lines of a request that carry them.
#include <gtest/gtest.h>

#include <string>

#include "AcceptEncoding.h"
#include "RequestParser.h"

using namespace portavex;

TEST(AcceptEncoding, ValuesThatAllowOrRefuseGzip) {
    const struct {
        const char* value;
        bool allows;
    } cases[] = {
        {"gzip", true},
        {"GZip", true},
        {"x-gzip", true},
        {"*", true},
        {"gzip, deflate, br", true},
        {"br;q=1.0, gzip;q=0.8, *;q=0.1", true},
        {" deflate , gzip ", true},
        {"gzip;q=0.001", true},
        {"gzip;Q=1", true},
        {"gzip ; q = 0.5", true},
        {"gzip;level=1", true},
        {"gzip;q=1.000", true},
        {"gzip;q=0", false},
        {"gzip;q=0.000", false},
        {"x-gzip;q=0", false},
        {"gzip;q=0, *", false},  // named gzip refused wins over "*"
        {"*;q=0", false},
        {"identity", false},
        {"deflate, br", false},
        {"", false},
        {"gzipx", false},
        {"gzip;q=1.5", false},  // above 1: malformed, counts as absent
        {"gzip;q=2", false},
        {"gzip;q=0.0001", false},
        {"gzip;q=", false},
        {"gzip;q=.5", false},
        {"gzip;q=1.001", false},
        {"gzip;q=0.5x", false},
        {"gzip;q=0, gzip;q=0.5", true},  // the heavier of two names counts
        {"identity;q=1, *;q=0.5", true},
        {",,gzip,,", true},
    };
    for (const auto& c : cases) {
        const std::string value = c.value;
        strCodingWeights weights;
        ReadAcceptEncoding(value.data(), value.size(), &weights);
        EXPECT_EQ(c.allows, AllowsGzip(weights)) << c.value;
    }
}

TEST(AcceptEncoding, HeaderLinesOfARequest) {
    const struct {
        const char* request;
        bool allows;
    } cases[] = {
        {"GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n", true},
        {"GET / HTTP/1.1\r\nHost: h\r\naccept-encoding:gzip\r\nX: y\r\n", true},
        {"GET / HTTP/1.1\nACCEPT-ENCODING: x-gzip\n", true},
        {"GET / HTTP/1.1\r\nHost: h\r\n", false},
        {"GET / HTTP/1.1", false},
        // Several lines form one list.
        {"GET / HTTP/1.1\r\nAccept-Encoding: br\r\nAccept-Encoding: gzip\r\n", true},
        {"GET / HTTP/1.1\r\nAccept-Encoding: *\r\nAccept-Encoding: gzip;q=0\r\n", false},
        // Neither the request line nor other fields count.
        {"GET /Accept-Encoding:gzip HTTP/1.1\r\nHost: h\r\n", false},
        {"GET / HTTP/1.1\r\nX-Accept-Encoding: gzip\r\n", false},
        {"GET / HTTP/1.1\r\nAccept-Encodings: gzip\r\n", false},
        {"GET / HTTP/1.1\r\nAccept-Encoding : gzip\r\n", false},
        // The value ends with its line.
        {"GET / HTTP/1.1\r\nAccept-Encoding: identity\r\ngzip\r\n", false},
    };
    for (const auto& c : cases) {
        std::string view = c.request;
        strRequest request;
        ParseRequest(&view[0], &request);
        EXPECT_EQ(c.allows, AllowsGzip(request.codings)) << c.request;
    }
}

TEST(AcceptEncoding, ParserSetsTheRequestFlagWithTheRestOfTheRequest) {
    std::string view = "\r\nGET /api/x?a=1 HTTP/1.1\r\nAccept-Encoding: gzip\r\n";
    strRequest request;
    ParseRequest(&view[0], &request);
    EXPECT_TRUE(AllowsGzip(request.codings));
    EXPECT_STREQ("api/x", request.resource);
    EXPECT_STREQ("a=1", request.query);
    view = "GET /api/x HTTP/1.1\r\nAccept-Encoding: identity\r\n";
    ParseRequest(&view[0], &request);
    EXPECT_FALSE(AllowsGzip(request.codings));
}
