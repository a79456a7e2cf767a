// The gateway's limit: the Tesmo exchanges of one API request made by a bare
// TesmoClient loop, with no HTTP and no JSON. Each of CONNECTIONS threads
// repeats, for SECONDS, what a data resource does for one request: a fresh
// client, Init, Connect, Load, the resource's query (reading every sample or
// value it hands out), Disconnect. It prints one line of figures:
//
//   requests N errors E seconds S rps R p50_ms A p99_ms B
//
// Usage: bench-bare-client PORT USER PASSWORD CONNECTIONS SECONDS RESOURCE [ARG...]
//   values MACHINE | machine MACHINE     one values exchange of that machine
//   machines                             one values exchange per machine
//   trend MACHINE VARIABLE FROM TO MAX MAPPED
//   analysis MACHINE ANALYSIS TIME       the one stored result ending at TIME
// Times are UTC seconds; MAPPED is 0 or 1; ids are compared exactly.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TesmoClient.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class eResource { Values, Machines, Trend, Analysis };

struct strQuery {
    eResource resource;
    std::string machine;
    std::string record;  // variable or analysis id
    long from = 0;
    long to = 0;
    int maxItems = 0;
    bool mapped = false;
};

struct strTarget {
    unsigned short port;
    const char* user;
    const char* password;
};

// Latencies of one thread, in seconds, and its failed requests.
struct strThreadResult {
    std::vector<double> latencies;
    long errors = 0;
};

strMachine* FindMachine(TesmoClient& client, const std::string& id) {
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        strGroup* group = client.GetGroup(g);
        for (int m = 0; m < group->countOfMachines; ++m) {
            if (id == group->machines[m].id) return &group->machines[m];
        }
    }
    return nullptr;
}

template <class T>
T* FindById(T* records, int count, const std::string& id) {
    for (int i = 0; i < count; ++i) {
        if (id == records[i].id) return &records[i];
    }
    return nullptr;
}

bool UpdateAll(TesmoClient& client) {
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        strGroup* group = client.GetGroup(g);
        for (int m = 0; m < group->countOfMachines; ++m) {
            if (!client.Update(&group->machines[m])) return false;
        }
    }
    return true;
}

bool ReadTrend(TesmoClient& client, strMachine* machine, const strQuery& query) {
    strVariable* variable = FindById(machine->variables, machine->countOfVariables, query.record);
    int count = 0;
    if (variable == nullptr || !client.GetTrend(&count, machine, variable, query.from, query.to,
                                                query.maxItems, query.mapped)) {
        return false;
    }
    strTimeValue sample;
    for (int i = 0; i < std::min(count, query.maxItems); ++i) {
        if (!client.GetTrendData(&sample, i)) return false;
    }
    return count > 0;
}

bool ReadAnalysis(TesmoClient& client, strMachine* machine, const strQuery& query) {
    strAnalisis* definition = FindById(machine->analisis, machine->countOfAnalisis, query.record);
    strAnalisisData header = {};
    if (definition == nullptr ||
        !client.GetAnalisis(&header, machine, definition, query.from - 1, query.from, false)) {
        return false;
    }
    float value;
    for (int i = 0; i < header.count; ++i) {
        if (!client.GetAnalisisData(&value, i)) return false;
    }
    return header.count > 0;
}

bool Query(TesmoClient& client, const strQuery& query) {
    if (query.resource == eResource::Machines) return UpdateAll(client);
    strMachine* machine = FindMachine(client, query.machine);
    if (machine == nullptr) return false;
    switch (query.resource) {
        case eResource::Values:
            return client.Update(machine);
        case eResource::Trend:
            return ReadTrend(client, machine, query);
        default:
            return ReadAnalysis(client, machine, query);
    }
}

// One request's exchanges, as a data resource makes them.
bool OneRequest(const strTarget& target, const strQuery& query) {
    TesmoClient client;
    client.Init(target.user, target.password, "127.0.0.1", target.port);
    bool done = client.Connect() && client.Load() && Query(client, query);
    client.Disconnect();
    return done;
}

void Loop(const strTarget& target, const strQuery& query, Clock::time_point end,
          strThreadResult* result) {
    while (Clock::now() < end) {
        Clock::time_point start = Clock::now();
        bool done = OneRequest(target, query);
        std::chrono::duration<double> took = Clock::now() - start;
        if (done) {
            result->latencies.push_back(took.count());
        } else {
            ++result->errors;
        }
    }
}

double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[index];
}

bool ReadQuery(int argc, char** argv, strQuery* query) {
    if (argc < 1) return false;
    std::string name = argv[0];
    if ((name == "values" || name == "machine") && argc == 2) {
        query->resource = eResource::Values;
    } else if (name == "machines" && argc == 1) {
        query->resource = eResource::Machines;
        return true;
    } else if (name == "trend" && argc == 7) {
        query->resource = eResource::Trend;
        query->record = argv[2];
        query->from = std::atol(argv[3]);
        query->to = std::atol(argv[4]);
        query->maxItems = std::atoi(argv[5]);
        query->mapped = std::strcmp(argv[6], "1") == 0;
    } else if (name == "analysis" && argc == 4) {
        query->resource = eResource::Analysis;
        query->record = argv[2];
        query->from = std::atol(argv[3]);
    } else {
        return false;
    }
    query->machine = argv[1];
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    strQuery query;
    if (argc < 7 || !ReadQuery(argc - 6, argv + 6, &query)) {
        std::fprintf(stderr, "usage: %s PORT USER PASSWORD CONNECTIONS SECONDS RESOURCE [ARG...]\n",
                     argv[0]);
        return 2;
    }
    const strTarget target = {static_cast<unsigned short>(std::atoi(argv[1])), argv[2], argv[3]};
    const int connections = std::max(1, std::atoi(argv[4]));
    const double seconds = std::atof(argv[5]);

    // One request first: a query that cannot succeed is a mistake of the caller.
    if (!OneRequest(target, query)) {
        std::fprintf(stderr, "the first request failed: check the server and the arguments\n");
        return 1;
    }
    std::vector<strThreadResult> results(connections);
    std::vector<std::thread> threads;
    Clock::time_point start = Clock::now();
    Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int i = 0; i < connections; ++i) {
        threads.emplace_back(Loop, std::cref(target), std::cref(query), end, &results[i]);
    }
    for (std::thread& thread : threads) thread.join();
    std::chrono::duration<double> elapsed = Clock::now() - start;

    std::vector<double> all;
    long errors = 0;
    for (const strThreadResult& result : results) {
        all.insert(all.end(), result.latencies.begin(), result.latencies.end());
        errors += result.errors;
    }
    std::sort(all.begin(), all.end());
    std::printf("requests %zu errors %ld seconds %.3f rps %.1f p50_ms %.3f p99_ms %.3f\n",
                all.size(), errors, elapsed.count(),
                static_cast<double>(all.size()) / elapsed.count(), Percentile(all, 0.50) * 1e3,
                Percentile(all, 0.99) * 1e3);
    return 0;
}
