// The cpp-httplib peer of the HTTP benchmark: what a developer would write
// instead of the gateway with Debian's cpp-httplib. It answers GET /api/ident
// with the body the gateway gives (read from a file at start) and serves the
// files of one folder, on a pool of 256 threads, without Nagle delays and
// with keep-alive connections that are never cut after a number of requests.
//
//   bench-httplib PORT ROOT IDENT_BODY_FILE
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr size_t kThreadPoolSize = 256;
// wrk keeps its connections for the whole run.
constexpr size_t kKeepAliveRequests = 1000000000;

bool ReadWhole(const char* path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    text->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT ROOT IDENT_BODY_FILE\n", argv[0]);
        return 2;
    }
    const int port = std::atoi(argv[1]);
    std::string ident;
    if (!ReadWhole(argv[3], &ident)) {
        std::fprintf(stderr, "cannot read %s\n", argv[3]);
        return 2;
    }

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreadPoolSize); };
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(kKeepAliveRequests);
    server.Get("/api/ident", [&ident](const httplib::Request&, httplib::Response& response) {
        response.set_content(ident, "application/json");
    });
    if (!server.set_mount_point("/", argv[2])) {
        std::fprintf(stderr, "cannot serve %s\n", argv[2]);
        return 2;
    }
    return server.listen("127.0.0.1", port) ? 0 : 1;
}
