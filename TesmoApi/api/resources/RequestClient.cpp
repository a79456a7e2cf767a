#include "api/resources/RequestClient.h"

#include "service/Configuration.h"

RequestClient::~RequestClient() {
    if (connected) client.Disconnect();
}

bool RequestClient::Open() {
    client.Init(serverUser, serverPassword, serverHost, PortNumber(serverPort));
    client.SetTimeout(serverTimeout);
    connected = client.Connect();
    return connected && client.Load();
}
