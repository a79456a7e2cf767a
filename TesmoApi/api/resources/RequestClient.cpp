#include "api/resources/RequestClient.h"

#include "service/Configuration.h"

// The port field of the configuration holds any int; the client takes the
// low 16 bits.
constexpr int kPortMask = 0xFFFF;

RequestClient::~RequestClient() {
    if (connected) client.Disconnect();
}

bool RequestClient::Open() {
    client.Init(serverUser, serverPassword, serverHost,
                static_cast<unsigned short>(serverPort & kPortMask));
    client.SetTimeout(serverTimeout);
    connected = client.Connect();
    return connected && client.Load();
}

eRequestResult ServerNotWorking(strJsonOutput* output) {
    JsonSetError(output, kMessageServerNotWorking, kErrorServerNotWorking);
    return ServiceError;
}

eRequestResult UsageError(strJsonOutput* output, const char* message, unsigned code) {
    JsonSetError(output, message, code);
    return BadRequest;
}
