// Listener, connection threads and the dispatch of one exchange.
#include "Server.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "PlantFacts.h"
#include "SimHash.h"
#include "SimNoise.h"
#include "TesmoProtocol.h"

namespace tesmosim {

namespace {

using namespace tesmo;

// The longest request payload a client sends.
constexpr std::size_t kMaxRequestPayload = std::max(kTrendRequestSize, kAnalisisRequestSize);

}  // namespace

TesmoSimServer::~TesmoSimServer() {
    Stop();
}

bool TesmoSimServer::Start(const strTesmoSimOptions& startOptions) {
    if (running || startOptions.trendPeriod <= 0) return false;
    std::vector<strFaultSpec> specs(startOptions.faults.size());
    for (std::size_t i = 0; i < specs.size(); ++i)
        if (!ParseFault(startOptions.faults[i].c_str(), &specs[i])) return false;
    if (!SimSocketsStart()) return false;
    options = startOptions;
    plant = BuildPlant(options.plant, options.seed);
    SimNoise noise(options.seed, options.version);
    EncodeCatalogue(plant, &catalogue, options.noise ? &noise : nullptr);
    EncodeSpecialKinds(plant, &kinds, options.noise ? &noise : nullptr);
    stamp = StampOfCatalogue(catalogue, options.seed);
    listener = SimListen(options.bind.c_str(), options.port, &port);
    if (listener == kNoSocket) {
        SimSocketsStop();
        port = 0;
        return false;
    }
    stopping = false;
    running = true;
    for (const strFaultSpec& spec : specs) faults.Add(spec);
    listenThread = std::thread(&TesmoSimServer::ListenLoop, this);
    return true;
}

void TesmoSimServer::Stop() {
    if (!running) return;
    {
        std::lock_guard<std::mutex> guard(stopLock);
        stopping = true;
    }
    stopSignal.notify_all();
    listenThread.join();
    SimClose(listener);
    listener = kNoSocket;
    std::lock_guard<std::mutex> guard(connectionsLock);
    for (auto& connection : connections) SimShutdown(connection->socket);
    for (auto& connection : connections) {
        connection->thread.join();
        SimClose(connection->socket);
    }
    connections.clear();
    SimSocketsStop();
    running = false;
    port = 0;
}

int TesmoSimServer::CatalogueSize() const {
    return running ? static_cast<int>(catalogue.size() - kHeaderSize) : 0;
}

strSimCounts TesmoSimServer::Counts() const {
    strSimCounts counts;
    counts.connections = accepted;
    counts.refused = refused;
    counts.open = open;
    counts.logins = logins;
    for (int i = 0; i < kExchangeKinds; ++i) counts.exchanges[i] = exchanges[i];
    counts.bytesSent = bytesSent;
    return counts;
}

void TesmoSimServer::ResetCounts() {
    accepted = 0;
    refused = 0;
    logins = 0;
    for (auto& count : exchanges) count = 0;
    bytesSent = 0;
}

void TesmoSimServer::DropConnections() {
    std::lock_guard<std::mutex> guard(connectionsLock);
    for (auto& connection : connections)
        if (!connection->done) SimShutdown(connection->socket);
}

// A server with a session limit closes a connection beyond it at once, before
// the login.
bool TesmoSimServer::Admit(SimSocket socket, const std::string& peer) {
    const std::uint64_t limit = static_cast<std::uint64_t>(options.maxConnections);
    if (limit == 0 || open < limit) {
        ++open;
        ++accepted;
        return true;
    }
    ++refused;
    SimShutdown(socket);
    SimClose(socket);
    if (options.verbose) {
        std::lock_guard<std::mutex> guard(logLock);
        std::fprintf(stdout, "tesmo-sim refused %s: %u connections open (%llu refused)\n",
                     peer.c_str(), static_cast<unsigned>(limit),
                     static_cast<unsigned long long>(refused));
        std::fflush(stdout);
    }
    return false;
}

void TesmoSimServer::ListenLoop() {
    while (!stopping) {
        ReapFinished();
        if (SimWaitReadable(listener, kSimStopPollMs) <= 0) continue;
        std::string peer;
        SimSocket socket = SimAccept(listener, &peer);
        if (socket == kNoSocket || !Admit(socket, peer)) continue;
        auto connection = std::make_unique<strConnection>();
        connection->socket = socket;
        connection->peer = peer;
        strConnection* started = connection.get();
        std::lock_guard<std::mutex> guard(connectionsLock);
        connection->number = ++connectionCount;
        connections.push_back(std::move(connection));
        started->thread = std::thread(&TesmoSimServer::Serve, this, started);
    }
}

// Joins the threads of connections that ended and releases their sockets.
void TesmoSimServer::ReapFinished() {
    std::lock_guard<std::mutex> guard(connectionsLock);
    for (auto it = connections.begin(); it != connections.end();) {
        if (!(*it)->done) {
            ++it;
            continue;
        }
        (*it)->thread.join();
        SimClose((*it)->socket);
        it = connections.erase(it);
    }
}

void TesmoSimServer::Serve(strConnection* connection) {
    Log(connection, "connected from %s (%llu open)", connection->peer.c_str(),
        static_cast<unsigned long long>(open));
    SimNoise noise(Mix64(options.seed) ^ static_cast<std::uint64_t>(connection->number),
                   options.version);
    strSession session = {connection, options.noise ? &noise : nullptr, Bytes(), {}, {}, "login"};
    if (Login(&session)) {
        while (Exchange(&session)) {
        }
    }
    // The peer sees the end at once; the socket is closed when reaped.
    SimShutdown(connection->socket);
    --open;
    Log(connection, "closed (%llu open)", static_cast<unsigned long long>(open));
    connection->done = true;
}

bool TesmoSimServer::Login(strSession* session) {
    SimSocket socket = session->connection->socket;
    unsigned char received[kLoginDataOffset];
    if (!SimReceiveAll(socket, received, sizeof received, stopping)) return false;
    ByteView head(received, sizeof received);
    if (head.U32(0) != tesmo::Login) {
        Log(session->connection, "first message is not a login");
        return false;
    }
    std::size_t userLength = head.U8(kLoginUserLengthOffset);
    std::size_t passwordLength = head.U8(kLoginPasswordLengthOffset);
    std::string credentials(userLength + passwordLength, '\0');
    if (!credentials.empty() &&
        !SimReceiveAll(socket, &credentials[0], credentials.size(), stopping))
        return false;
    bool known = credentials.compare(0, userLength, options.user) == 0 &&
                 credentials.compare(userLength, passwordLength, options.password) == 0;
    if (known) ++logins;
    Describe(session, "login of %s %s (%llu logins)", credentials.substr(0, userLength).c_str(),
             known ? "accepted" : "refused", static_cast<unsigned long long>(logins));
    EncodeLogin(known, static_cast<std::uint16_t>(options.version), &session->reply,
                session->noise);
    return Deliver(session, eExchange::Login, session->reply) && known;
}

// Reads one request and answers it. A request that is not what a client
// sends ends the connection, with the reason in the verbose log.
bool TesmoSimServer::Exchange(strSession* session) {
    SimSocket socket = session->connection->socket;
    unsigned char received[kHeaderSize];
    if (!SimReceiveAll(socket, received, sizeof received, stopping)) return false;
    strRequestHeader header = ReadRequestHeader(ByteView(received, sizeof received));
    const strRequestRule* rule =
        FindRequestRule(header.command, options.version >= kCurrentProtocolVersion);
    if (rule == nullptr) {
        Log(session->connection, "request 0x%08X with %u bytes not understood",
            static_cast<unsigned>(header.command), static_cast<unsigned>(header.length));
        return false;
    }
    // A header that passes its rule announces a payload that fits the buffer.
    std::string why;
    unsigned char payload[kMaxRequestPayload] = {};
    bool valid = CheckRequestHeader(*rule, header, &why);
    if (valid && header.length > 0 && !SimReceiveAll(socket, payload, header.length, stopping))
        return false;
    ByteView request(payload, valid ? header.length : 0);
    if (!valid || !CheckRequestPayload(*rule, request, &why)) {
        Log(session->connection, "request 0x%08X refused: %s",
            static_cast<unsigned>(header.command), why.c_str());
        return false;
    }
    return Answer(session, *rule, header.machine, request);
}

bool TesmoSimServer::Answer(strSession* session, const strRequestRule& rule, std::uint16_t machine,
                            ByteView payload) {
    strSimContext context = Context();
    std::uint32_t command = rule.command;
    SimNoise* noise = session->noise;
    switch (rule.exchange) {
        case eExchange::Stamp:
            Describe(session, "stamp");
            EncodeStamp(command, stamp, &session->reply, noise);
            return Deliver(session, rule.exchange, session->reply);
        case eExchange::Catalogue:
            Describe(session, "catalogue");
            return Deliver(session, rule.exchange, catalogue);
        case eExchange::Kinds:
            Describe(session, "diagnostic kinds");
            return Deliver(session, rule.exchange, kinds);
        case eExchange::Values:
            Describe(session, "values of machine %u", static_cast<unsigned>(machine));
            EncodeValues(context, plant, machine, command, &session->reply, noise);
            return Deliver(session, rule.exchange, session->reply);
        case eExchange::Trend:
            // Both trend commands carry the same request; the unmapped one is
            // answered with raw samples.
            Describe(session, "%s trend of machine %u", command == TrendMapped ? "mapped" : "raw",
                     static_cast<unsigned>(machine));
            EncodeTrend(context, plant, machine, ReadTrendRequest(payload), command,
                        command == TrendMapped, &session->samples, &session->reply, noise);
            return Deliver(session, rule.exchange, session->reply);
        case eExchange::Analysis:
            Describe(session, "analysis of machine %u", static_cast<unsigned>(machine));
            EncodeAnalysis(context, plant, machine, ReadAnalysisRequest(payload), command,
                           &session->values, &session->reply, noise);
            return Deliver(session, rule.exchange, session->reply);
        case eExchange::Login:
            break;
    }
    return false;
}

// Sends the reply, or what the fault set makes of it. False ends the connection.
bool TesmoSimServer::Deliver(strSession* session, eExchange exchange, const Bytes& message) {
    ++exchanges[static_cast<int>(exchange)];
    if (options.latencyMs > 0 && WaitStopping(options.latencyMs)) return false;
    strFaultAction action = faults.Next(exchange);
    SimSocket socket = session->connection->socket;
    const char* name = session->what;
    switch (action.kind) {
        case eFaultKind::None:
            break;
        case eFaultKind::Slow:
            if (WaitStopping(action.delayMs)) return false;
            Log(session->connection, "%s: %u bytes after %d ms", name,
                static_cast<unsigned>(message.size()), action.delayMs);
            return Send(socket, message.data(), message.size());
        case eFaultKind::Trickle:
            Log(session->connection, "%s: %u bytes, one every %d ms", name,
                static_cast<unsigned>(message.size()), action.delayMs);
            return Trickle(socket, message, action.delayMs);
        case eFaultKind::Stall:
            Log(session->connection, "%s stalls", name);
            SimDrain(socket, stopping);
            return false;
        case eFaultKind::Close:
            Log(session->connection, "%s: connection dropped", name);
            return false;
        case eFaultKind::Short:
            Log(session->connection, "%s cut after %u of %u bytes", name,
                static_cast<unsigned>(message.size() / 2), static_cast<unsigned>(message.size()));
            Send(socket, message.data(), message.size() / 2);
            return false;
        case eFaultKind::BadLength: {
            Bytes bad(message.begin(), message.begin() + std::min(message.size(), kHeaderSize));
            if (exchange == eExchange::Login) {
                StoreU32(bad.data(), kLoginRefused);
                Send(socket, bad.data(), bad.size());
                return false;
            }
            StoreU32(bad.data() + kHeaderLengthOffset, kMaxReplyPayload + 1);
            Log(session->connection, "%s announces %u bytes", name,
                static_cast<unsigned>(kMaxReplyPayload + 1));
            return Send(socket, bad.data(), bad.size());
        }
    }
    Log(session->connection, "%s: %u bytes", name, static_cast<unsigned>(message.size()));
    return Send(socket, message.data(), message.size());
}

// Sends the message one byte at a time, each after a pause; false once the
// client has gone or the server stops.
bool TesmoSimServer::Trickle(SimSocket socket, const Bytes& message, int gapMs) {
    for (unsigned char byte : message)
        if (WaitStopping(gapMs) || !Send(socket, &byte, 1)) return false;
    return true;
}

bool TesmoSimServer::Send(SimSocket socket, const void* data, std::size_t size) {
    if (!SimSendAll(socket, data, size)) return false;
    bytesSent += size;
    return true;
}

bool TesmoSimServer::WaitStopping(int ms) {
    std::unique_lock<std::mutex> guard(stopLock);
    return stopSignal.wait_for(guard, std::chrono::milliseconds(ms),
                               [this] { return stopping.load(); });
}

strSimContext TesmoSimServer::Context() const {
    strSimContext context;
    context.seed = options.seed;
    context.now = options.now != 0 ? options.now : static_cast<std::int64_t>(std::time(nullptr));
    context.trendPeriod = options.trendPeriod;
    context.historySeconds = demo::kHistorySeconds;
    context.analysisPeriod = demo::kAnalysisPeriod;
    return context;
}

void TesmoSimServer::Describe(strSession* session, const char* format, ...) {
    if (!options.verbose) return;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(session->what, sizeof session->what, format, arguments);
    va_end(arguments);
}

void TesmoSimServer::Log(const strConnection* connection, const char* format, ...) {
    if (!options.verbose) return;
    char line[512];
    int used = std::snprintf(line, sizeof line, "tesmo-sim #%d ", connection->number);
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line + used, sizeof line - static_cast<std::size_t>(used), format, arguments);
    va_end(arguments);
    std::lock_guard<std::mutex> guard(logLock);
    std::fprintf(stdout, "%s\n", line);
    std::fflush(stdout);
}

}  // namespace tesmosim
