#include "TesmoClient.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "ByteView.h"
#include "Catalogue.h"
#include "Socket.h"
#include "TesmoProtocol.h"
#include "Values.h"

using namespace tesmo;

namespace {

constexpr std::int32_t kDefaultTimeoutSeconds = 10;
constexpr std::int32_t kMaxTimeoutSeconds = 24 * 60 * 60;
constexpr int kMillisecondsPerSecond = 1000;
constexpr const char* kLibraryVersion = "1.2";

// Largest request: a header and the longer of the two request payloads.
constexpr std::size_t kMaxRequestSize =
    kHeaderSize +
    (kTrendRequestSize > kAnalisisRequestSize ? kTrendRequestSize : kAnalisisRequestSize);

// An owned copy of length bytes of text, terminated.
char* CopyOf(const char* text, std::size_t length) {
    char* copy = new char[length + 1];
    if (length > 0) std::memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

std::size_t LengthOf(const char* text) {
    return text != nullptr ? std::strlen(text) : 0;
}

// The end of a step that begins now: connecting, or one exchange.
Deadline StepDeadline(std::int32_t timeoutSeconds) {
    return DeadlineAfter(timeoutSeconds * kMillisecondsPerSecond);
}

// The counters behind GetExchangeCounts, shared by every client.
struct strExchangeCounters {
    std::atomic<std::uint64_t> succeeded[kExchangeKindCount];
    std::atomic<std::uint64_t> failed[kExchangeKindCount];
    std::atomic<std::uint64_t> bytesReceived;
};
strExchangeCounters exchangeCounters{};

void CountExchange(eExchangeKind kind, bool succeeded, std::uint64_t bytes) {
    auto& counter = succeeded ? exchangeCounters.succeeded : exchangeCounters.failed;
    counter[kind].fetch_add(1, std::memory_order_relaxed);
    if (bytes > 0) exchangeCounters.bytesReceived.fetch_add(bytes, std::memory_order_relaxed);
}

eExchangeKind KindOf(std::uint32_t command) {
    switch (command) {
        case CatalogueStamp:
            return ExchangeStamp;
        case Catalogue:
            return ExchangeCatalogue;
        case SpecialKinds:
            return ExchangeSpecialKinds;
        case Values:
            return ExchangeValues;
        case Analisis:
            return ExchangeAnalisis;
        default:
            return ExchangeTrend;
    }
}

template <typename T>
int PositionOf(const T* element, const T* array, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i)
        if (&array[i] == element) return i;
    return -1;
}

}  // namespace

TesmoClient::TesmoClient()
    : user(nullptr),
      password(nullptr),
      host(nullptr),
      port(kDefaultPort),
      userLength(0),
      passwordLength(0),
      hostLength(0),
      serverVersion(0),
      catalogueStamp(0),
      socket(kNoSocket),
      receiveBuffer(nullptr),
      countOfGroups(0),
      countOfMachines(0),
      groups(nullptr),
      machines(nullptr),
      trendValues(nullptr),
      countOfTrendValues(0),
      analisisValues(nullptr),
      countOfAnalisisValues(0),
      timeoutSeconds(kDefaultTimeoutSeconds) {
    if (!SocketLayerStart()) throw "WSAStartup failed";
    receiveBuffer = new char[kMaxReplyPayload];
}

TesmoClient::~TesmoClient() {
    Disconnect();
    MachinesMemoryFree();
    ReleaseTrendValues();
    ReleaseAnalisisValues();
    delete[] user;
    delete[] password;
    delete[] host;
    delete[] receiveBuffer;
    SocketLayerStop();
}

void TesmoClient::Init(const char* newUser, const char* newPassword, const char* newHost,
                       unsigned short newPort) {
    delete[] user;
    delete[] password;
    delete[] host;
    userLength = static_cast<std::uint32_t>(LengthOf(newUser));
    passwordLength = static_cast<std::uint32_t>(LengthOf(newPassword));
    user = userLength > 0 ? CopyOf(newUser, userLength) : nullptr;
    password = passwordLength > 0 ? CopyOf(newPassword, passwordLength) : nullptr;
    std::size_t length = LengthOf(newHost);
    host = CopyOf(newHost, length);
    hostLength = static_cast<std::uint32_t>(length + 1);
    port = newPort;
}

void TesmoClient::SetTimeout(int seconds) {
    if (seconds < 1) seconds = kDefaultTimeoutSeconds;
    timeoutSeconds = seconds < kMaxTimeoutSeconds ? seconds : kMaxTimeoutSeconds;
}

bool TesmoClient::Connect() {
    if (socket != kNoSocket || host == nullptr) return false;
    // The login message carries both texts in one 100-byte area: longer
    // credentials cannot be sent, so nothing is.
    std::size_t credentials = static_cast<std::size_t>(userLength) + passwordLength;
    if (credentials > kLoginMaxCredentials) return false;

    unsigned char message[kLoginMaxSize];
    StoreU32(message, Login);
    message[kLoginUserLengthOffset] = static_cast<unsigned char>(userLength);
    message[kLoginPasswordLengthOffset] = static_cast<unsigned char>(passwordLength);
    if (userLength > 0) std::memcpy(message + kLoginDataOffset, user, userLength);
    if (passwordLength > 0)
        std::memcpy(message + kLoginDataOffset + userLength, password, passwordLength);

    // Name resolution and connection end by one deadline, the login by its own.
    socket = SocketConnect(host, port, StepDeadline(timeoutSeconds));
    if (socket == kNoSocket) return false;
    const Deadline deadline = StepDeadline(timeoutSeconds);
    unsigned char reply[kLoginReplySize];
    const bool received = SocketSend(socket, message, kLoginDataOffset + credentials, deadline) &&
                          SocketReceive(socket, reply, sizeof reply, deadline);
    const bool accepted = received && LoadU32(reply) == LoginAccepted;
    CountExchange(ExchangeLogin, accepted, received ? sizeof reply : 0);
    if (!accepted) {
        Disconnect();
        return false;
    }
    serverVersion = LoadU16(reply + kLoginReplyVersionOffset);
    return true;
}

void TesmoClient::Disconnect() {
    SocketClose(socket);
    socket = kNoSocket;
}

// One request and its reply. The reply's payload, whose length must lie in
// [minReply, maxReply], lands in receiveBuffer. Any failure is a transport
// failure: the connection is closed, because it can no longer be in step.
bool TesmoClient::SendAndReceive(std::uint32_t command, std::uint16_t machine,
                                 const unsigned char* payload, std::uint32_t payloadLength,
                                 std::uint32_t minReply, std::uint32_t maxReply,
                                 std::uint32_t* replyLength) {
    if (socket == kNoSocket || payloadLength > kMaxRequestSize - kHeaderSize) return false;
    unsigned char message[kMaxRequestSize];
    StoreHeader(message, command, machine, payloadLength);
    if (payloadLength > 0) std::memcpy(message + kHeaderSize, payload, payloadLength);

    // The request, the reply's header and its payload all end by one deadline,
    // however the server spreads its bytes over time.
    const Deadline deadline = StepDeadline(timeoutSeconds);
    unsigned char header[kHeaderSize];
    bool received = SocketSend(socket, message, kHeaderSize + payloadLength, deadline) &&
                    SocketReceive(socket, header, sizeof header, deadline);
    std::uint32_t length = received ? LoadU32(header + kHeaderLengthOffset) : 0;
    if (!received || length < minReply || length > maxReply || length > kMaxReplyPayload ||
        !SocketReceive(socket, receiveBuffer, length, deadline)) {
        CountExchange(KindOf(command), false, received ? sizeof header : 0);
        Disconnect();
        return false;
    }
    CountExchange(KindOf(command), true, sizeof header + length);
    *replyLength = length;
    return true;
}

bool TesmoClient::Load() {
    const bool currentProtocol = serverVersion >= kCurrentProtocolVersion;
    if (currentProtocol) {
        std::uint32_t length;
        if (!SendAndReceive(CatalogueStamp, 0, nullptr, 0, kStampReplySize, kStampReplySize,
                            &length))
            return false;
        std::int32_t stamp =
            ByteView(reinterpret_cast<unsigned char*>(receiveBuffer), length).I32(0);
        if (stamp == catalogueStamp) return true;
        catalogueStamp = stamp;
    } else {
        catalogueStamp = 0;
    }
    MachinesMemoryFree();
    // A stamp stands only for a complete catalogue: after a failure the next
    // Load downloads again.
    if (!LoadCatalogue() || (currentProtocol && !LoadSpecialKinds())) {
        catalogueStamp = 0;
        return false;
    }
    return true;
}

bool TesmoClient::LoadCatalogue() {
    std::uint32_t length;
    if (!SendAndReceive(Catalogue, 0, nullptr, 0, kMinCatalogueReply, kMaxReplyPayload, &length))
        return false;
    strCatalogue catalogue;
    if (!ParseCatalogue(ByteView(reinterpret_cast<unsigned char*>(receiveBuffer), length),
                        serverVersion >= kCurrentProtocolVersion, &catalogue))
        return false;
    groups = catalogue.groups;
    countOfGroups = catalogue.countOfGroups;
    machines = catalogue.machines;
    countOfMachines = catalogue.countOfMachines;
    return true;
}

bool TesmoClient::LoadSpecialKinds() {
    std::uint32_t length;
    if (!SendAndReceive(SpecialKinds, 0, nullptr, 0, kMinSpecialKindsReply, kMaxReplyPayload,
                        &length))
        return false;
    ApplySpecialKinds(ByteView(reinterpret_cast<unsigned char*>(receiveBuffer), length), machines,
                      countOfMachines);
    return true;
}

void TesmoClient::MachinesMemoryFree() {
    delete[] groups;
    groups = nullptr;
    countOfGroups = 0;
    ReleaseMachines(machines, countOfMachines);
    machines = nullptr;
    countOfMachines = 0;
}

int TesmoClient::FindMachine(const strMachine* machine) const {
    return PositionOf(machine, machines, countOfMachines);
}

bool TesmoClient::Update(strMachine* machine) {
    int position = FindMachine(machine);
    if (position < 0) return false;
    std::uint32_t length;
    if (!SendAndReceive(Values, static_cast<std::uint16_t>(position), nullptr, 0, kMinValuesReply,
                        kMaxReplyPayload, &length))
        return false;
    return ApplyValues(ByteView(reinterpret_cast<unsigned char*>(receiveBuffer), length),
                       serverVersion >= kCurrentProtocolVersion, &machines[position]);
}

bool TesmoClient::GetTrend(int* count, strMachine* machine, strVariable* variable, long from,
                           long to, int maxItems, bool mapped) {
    ReleaseTrendValues();
    int position = FindMachine(machine);
    if (count == nullptr || position < 0) return false;
    if (PositionOf(variable, machine->variables, machine->countOfVariables) < 0) return false;

    unsigned char request[kTrendRequestSize];
    request[kTrendKindOffset] = variable->kind;
    StoreU16(request + kTrendIndexOffset, variable->index);
    StoreU16(request + kTrendSubIndexOffset, variable->subIndex);
    StoreI32(request + kTrendFromOffset, static_cast<std::int32_t>(from));
    StoreI32(request + kTrendToOffset, static_cast<std::int32_t>(to));
    StoreI32(request + kTrendMaxItemsOffset, maxItems);
    bool unmapped = !mapped && serverVersion >= kCurrentProtocolVersion;
    std::uint32_t length;
    if (!SendAndReceive(unmapped ? TrendUnmapped : TrendMapped,
                        static_cast<std::uint16_t>(position), request, sizeof request,
                        kMinTrendReply, kMaxReplyPayload, &length))
        return false;

    ByteView reply(reinterpret_cast<unsigned char*>(receiveBuffer), length);
    std::int32_t samples;
    if (!ReadTrendReply(reply, &trendValues, &samples)) {
        Disconnect();
        return false;
    }
    countOfTrendValues = samples;
    *count = samples;
    return true;
}

bool TesmoClient::GetTrendData(strTimeValue* out, int i) {
    if (out == nullptr || i < 0 || i >= countOfTrendValues) return false;
    *out = trendValues[i];
    return true;
}

bool TesmoClient::GetAnalisis(strAnalisisData* data, strMachine* machine, strAnalisis* analisis,
                              long from, long to, bool flag) {
    ReleaseAnalisisValues();
    int position = FindMachine(machine);
    if (data == nullptr || position < 0) return false;
    int definition = PositionOf(analisis, machine->analisis, machine->countOfAnalisis);
    if (definition < 0) return false;

    unsigned char request[kAnalisisRequestSize];
    StoreU16(request + kAnalisisPositionOffset, static_cast<std::uint16_t>(definition));
    StoreI32(request + kAnalisisFromOffset, static_cast<std::int32_t>(from));
    StoreI32(request + kAnalisisToOffset, static_cast<std::int32_t>(to));
    StoreI32(request + kAnalisisFlagOffset, flag ? kAnalisisFlagTrue : 0);
    std::uint32_t length;
    if (!SendAndReceive(Analisis, static_cast<std::uint16_t>(position), request, sizeof request,
                        kMinAnalisisReply, kMaxReplyPayload, &length))
        return false;

    if (length == kAnalisisEmptyReply) {
        *data = strAnalisisData();
        return true;
    }
    ByteView reply(reinterpret_cast<unsigned char*>(receiveBuffer), length);
    if (!ReadAnalisisReply(reply, data, &analisisValues)) {
        Disconnect();
        return false;
    }
    countOfAnalisisValues = data->count;
    return true;
}

bool TesmoClient::GetAnalisisData(float* out, int i) {
    if (out == nullptr || i < 0 || i >= countOfAnalisisValues) return false;
    *out = analisisValues[i];
    return true;
}

void TesmoClient::ReleaseTrendValues() {
    delete[] trendValues;
    trendValues = nullptr;
    countOfTrendValues = 0;
}

void TesmoClient::ReleaseAnalisisValues() {
    delete[] analisisValues;
    analisisValues = nullptr;
    countOfAnalisisValues = 0;
}

int TesmoClient::GetCountOfGroups() {
    return countOfGroups;
}

strGroup* TesmoClient::GetGroup(int i) {
    if (i < 0 || i >= countOfGroups) return nullptr;
    return &groups[i];
}

int TesmoClient::GetVersion(char* text, unsigned long size) {
    if (text == nullptr || size == 0) return -1;
    int written = std::snprintf(text, size, "%s", kLibraryVersion);
    if (written < 0 || static_cast<unsigned long>(written) >= size) return -1;
    return written;
}

void TesmoClient::AbandonExchangesAfter(int milliseconds) {
    AbandonWaitsAt(DeadlineAfter(milliseconds));
}

void TesmoClient::GetExchangeCounts(strExchangeCounts* counts) {
    for (int kind = 0; kind < kExchangeKindCount; ++kind) {
        counts->succeeded[kind] = exchangeCounters.succeeded[kind].load(std::memory_order_relaxed);
        counts->failed[kind] = exchangeCounters.failed[kind].load(std::memory_order_relaxed);
    }
    counts->bytesReceived = exchangeCounters.bytesReceived.load(std::memory_order_relaxed);
}
