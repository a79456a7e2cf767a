// Parsing of tesmo-sim's options.
#include "CommandLine.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Faults.h"
#include "TesmoProtocol.h"

namespace tesmosim {

namespace {

const char kUsage[] =
    "Usage: tesmo-sim [options]\n"
    "Simulates a Tesmo monitoring server until Ctrl-C or SIGTERM, then prints its\n"
    "totals: connections, refused ones, logins, requests by exchange, bytes sent.\n"
    "\n"
    "  --port N            TCP port to listen on (default 2500; 0 picks a free port\n"
    "                      and prints it)\n"
    "  --bind ADDRESS      IPv4 address or host name to listen on (default 127.0.0.1)\n"
    "  --version N         protocol version announced at login (default 200; below\n"
    "                      200 the older protocol: no catalogue stamp, no DIGITAL\n"
    "                      variables, no diagnostic kinds, one trend command)\n"
    "  --user NAME         user name accepted at login (default demo)\n"
    "  --password TEXT     password accepted at login (default demo); any other\n"
    "                      login is refused\n"
    "  --plant KIND        demo (default), large (a catalogue just under the reply\n"
    "                      bound), empty (no groups, no machines) or edge (names\n"
    "                      with quotes, backslashes, tabs and Windows-1252\n"
    "                      letters, NaN and infinite values, the largest spectrum)\n"
    "  --seed N            seed of the simulated values (default 1)\n"
    "  --fault SPEC        inject a fault, EXCHANGE:KIND[:EVERY]; may be repeated\n"
    "                        EXCHANGE  login, stamp, catalogue, kinds, values,\n"
    "                                  trend or analysis\n"
    "                        KIND      stall (never answer), close (drop the\n"
    "                                  connection), short (cut the reply),\n"
    "                                  badlength (a length outside the bounds),\n"
    "                                  slow=MS (answer MS milliseconds late),\n"
    "                                  trickle=MS (send the reply one byte every\n"
    "                                  MS milliseconds)\n"
    "                        EVERY     hit every Nth exchange of that kind (default 1)\n"
    "  --trend-period S    seconds between trend samples (default 600)\n"
    "  --now T             fixed current time in UTC seconds (default: the clock)\n"
    "  --noise             fill every byte of a reply that a client does not read\n"
    "                      (reserved and unread fields, text after its end,\n"
    "                      unused flag bits, skipped records) with pseudo-random\n"
    "                      values\n"
    "  --latency MS        answer every message, the login included, MS\n"
    "                      milliseconds late (a server across a network)\n"
    "  --max-connections N serve at most N connections at once; one beyond them is\n"
    "                      closed before its login, as by a server with a session\n"
    "                      limit (default 0: no limit)\n"
    "  --verbose           print one line per connection and exchange with the\n"
    "                      connections open and the logins so far, and why a\n"
    "                      request that no client sends ends its connection\n"
    "  --help              print this text\n";

// A minute: far beyond any network, short of looking like a stalled server.
constexpr long long kMaxLatencyMs = 60000;

struct strPlantName {
    const char* text;
    eSimPlant plant;
};
const strPlantName kPlants[] = {{"demo", eSimPlant::Demo},
                                {"large", eSimPlant::Large},
                                {"empty", eSimPlant::Empty},
                                {"edge", eSimPlant::Edge}};

// A whole-text decimal number within [lowest, highest].
bool ParseNumber(const char* text, long long lowest, long long highest, long long* out) {
    if (*text == '\0') return false;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || value < lowest || value > highest) return false;
    *out = value;
    return true;
}

bool SetPlant(const char* text, strTesmoSimOptions* options) {
    for (const strPlantName& name : kPlants) {
        if (std::strcmp(text, name.text) != 0) continue;
        options->plant = name.plant;
        return true;
    }
    return false;
}

// Applies one option that takes a value; false when the value is not valid.
bool SetOption(const std::string& name, const char* value, strTesmoSimOptions* options) {
    long long number = 0;
    if (name == "--port") {
        if (!ParseNumber(value, 0, UINT16_MAX, &number)) return false;
        options->port = static_cast<int>(number);
    } else if (name == "--bind") {
        options->bind = value;
        return !options->bind.empty();
    } else if (name == "--version") {
        if (!ParseNumber(value, 1, UINT16_MAX, &number)) return false;
        options->version = static_cast<int>(number);
    } else if (name == "--user") {
        options->user = value;
    } else if (name == "--password") {
        options->password = value;
    } else if (name == "--plant") {
        return SetPlant(value, options);
    } else if (name == "--seed") {
        if (!ParseNumber(value, 0, UINT32_MAX, &number)) return false;
        options->seed = static_cast<std::uint32_t>(number);
    } else if (name == "--fault") {
        strFaultSpec spec;
        if (!ParseFault(value, &spec)) return false;
        options->faults.push_back(value);
    } else if (name == "--trend-period") {
        if (!ParseNumber(value, 1, INT32_MAX, &number)) return false;
        options->trendPeriod = static_cast<int>(number);
    } else if (name == "--latency") {
        if (!ParseNumber(value, 0, kMaxLatencyMs, &number)) return false;
        options->latencyMs = static_cast<int>(number);
    } else if (name == "--max-connections") {
        if (!ParseNumber(value, 0, INT32_MAX, &number)) return false;
        options->maxConnections = static_cast<int>(number);
    } else if (name == "--now") {
        if (!ParseNumber(value, 1, INT32_MAX, &number)) return false;
        options->now = static_cast<std::int32_t>(number);
    }
    return true;
}

bool TakesValue(const std::string& name) {
    static const char* const kNames[] = {
        "--port", "--bind",  "--version",      "--user", "--password", "--plant",
        "--seed", "--fault", "--trend-period", "--now",  "--latency",  "--max-connections"};
    for (const char* known : kNames)
        if (name == known) return true;
    return false;
}

}  // namespace

eCommandLine ParseCommandLine(int argc, const char* const* argv, strTesmoSimOptions* options,
                              std::string* error) {
    options->port = kProgramDefaultPort;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") return eCommandLine::Help;
        if (argument == "--verbose") {
            options->verbose = true;
            continue;
        }
        if (argument == "--noise") {
            options->noise = true;
            continue;
        }
        // Both "--name value" and "--name=value".
        std::size_t equals = argument.find('=');
        std::string name = argument.substr(0, equals);
        if (!TakesValue(name)) {
            *error = "unknown option " + argument;
            return eCommandLine::Error;
        }
        const char* value = nullptr;
        if (equals != std::string::npos) {
            value = argv[i] + equals + 1;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            *error = "option " + name + " needs a value";
            return eCommandLine::Error;
        }
        if (!SetOption(name, value, options)) {
            *error = "invalid value for " + name + ": " + value;
            return eCommandLine::Error;
        }
    }
    if (options->user.size() + options->password.size() > tesmo::kLoginMaxCredentials) {
        *error = "user name and password together are longer than a login can carry";
        return eCommandLine::Error;
    }
    return eCommandLine::Run;
}

const char* UsageText() {
    return kUsage;
}

const char* PlantName(eSimPlant plant) {
    for (const strPlantName& name : kPlants)
        if (name.plant == plant) return name.text;
    return "?";
}

void PrintCounts(const strSimCounts& counts, FILE* out) {
    auto kind = [&counts](eSimExchange exchange) {
        return static_cast<unsigned long long>(counts.Exchanges(exchange));
    };
    std::fprintf(out,
                 "tesmo-sim totals: %llu connections, %llu refused, %llu logins, %llu stamps, "
                 "%llu catalogues, %llu kinds, %llu values, %llu trends, %llu analyses, "
                 "%llu bytes sent\n",
                 static_cast<unsigned long long>(counts.connections),
                 static_cast<unsigned long long>(counts.refused),
                 static_cast<unsigned long long>(counts.logins), kind(eSimExchange::Stamp),
                 kind(eSimExchange::Catalogue), kind(eSimExchange::Kinds),
                 kind(eSimExchange::Values), kind(eSimExchange::Trend),
                 kind(eSimExchange::Analysis), static_cast<unsigned long long>(counts.bytesSent));
}

}  // namespace tesmosim
