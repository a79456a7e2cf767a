#include "api/resources/RequestClient.h"

#include <utility>

#include "api/resources/SessionPool.h"
#include "service/Configuration.h"

RequestClient::~RequestClient() {
    if (pooled) {
        sessionPool.Give(std::move(client), healthy);
    } else if (connected) {
        client->Disconnect();
    }
}

bool RequestClient::Connect() {
    client->Init(serverUser, serverPassword, serverHost, PortNumber(serverPort));
    client->SetTimeout(serverTimeout);
    connected = client->Connect();
    return connected && client->Load();
}

bool RequestClient::Open() {
    if (serverSessions == 0) {
        client.reset(new TesmoClient);
        return Connect();
    }
    bool reused = false;
    client = sessionPool.Take(serverTimeout, &reused);
    if (!client) return false;
    pooled = true;
    if (!reused) return Connect();
    // The stamp changes nothing on the server, so a session found dead at
    // it is replaced without any request being sent twice.
    if (client->Load()) return true;
    client->Disconnect();
    return Connect();
}
