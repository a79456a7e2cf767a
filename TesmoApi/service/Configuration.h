// The service's configuration: the process-wide fields filled once from
// "TesmoApi.json" before the HTTP server starts, and only read afterwards by
// the request handlers on any thread (so they need no lock).
#pragma once

#include <cstddef>

// Longest host, user and password texts; their fields hold one byte more.
constexpr unsigned kServerTextLength = 100;
// The configuration file holds fewer bytes than this (as read in text mode).
constexpr size_t kConfigTextSize = 1000;
constexpr int kDefaultApiIdleTimeout = 60;  // seconds
constexpr int kDefaultServerTimeout = 10;   // seconds
constexpr int kDefaultServerSessions = 0;   // a connection of its own for every request
constexpr int kMaxServerSessions = 64;
constexpr int kDefaultSessionIdle = 60;  // seconds

extern const char* const kConfigurationFileName;  // "TesmoApi.json"

extern int listenPort;                              // "api.listen_port"
extern char serverHost[kServerTextLength + 1];      // "drovane_tesmo_server.host"
extern char serverUser[kServerTextLength + 1];      // "drovane_tesmo_server.user"
extern char serverPassword[kServerTextLength + 1];  // "drovane_tesmo_server.password"
extern int serverPort;                              // "drovane_tesmo_server.port"
extern char configText[kConfigTextSize];            // the whole file, terminated
extern int apiIdleTimeout;                          // "api.idle_timeout", optional
extern int serverTimeout;                           // "drovane_tesmo_server.timeout", optional
extern bool apiMetrics;                             // "api.metrics", optional, false
extern bool apiMetricsPlant;                        // "api.metrics_plant", optional, false
extern int serverSessions;     // "drovane_tesmo_server.sessions", optional, 0 to 64
extern int serverSessionIdle;  // "drovane_tesmo_server.session_idle", optional, seconds

enum class eConfigFault {
    None,
    CannotOpen,  // the file is missing or unreadable
    TooLong,     // kConfigTextSize bytes or more
    BadKey,      // a required key is missing or unreadable, or a key's value is not a number
};

// Why loading failed: the fault, and for BadKey the key path.
struct strConfigFault {
    eConfigFault fault;
    const char* key;
};

// Reads the file into configText and fills the fields from it, stopping at
// the first fault. Required keys, in this order: "api.listen_port",
// "drovane_tesmo_server.host", ".user", ".password", ".port"; the ports are
// read with "%d" from at most 20 characters. The optional keys
// "api.idle_timeout" and "drovane_tesmo_server.timeout" keep their defaults
// when absent and must be positive integers when present; so do
// "drovane_tesmo_server.sessions" (0 to 64: the logged-in connections kept
// between requests, 0 for none) and "drovane_tesmo_server.session_idle" (the
// seconds such a connection may stay unused). "api.metrics" and
// "api.metrics_plant" are false when absent and must be true or false when
// present.
bool LoadConfiguration(const char* fileName, strConfigFault* fault);

// The TCP port a configured port stands for: its low 16 bits, so that 70000
// is port 4464 (the ports are not range-checked).
constexpr int kPortMask = 0xFFFF;
constexpr unsigned short PortNumber(int configured) {
    return static_cast<unsigned short>(configured & kPortMask);
}

// One line, without a newline, saying what went wrong, for a person to read.
void DescribeConfigFault(const strConfigFault& fault, char* text, size_t size);
