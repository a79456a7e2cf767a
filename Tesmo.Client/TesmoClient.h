// Tesmo.Client: client of the Tesmo monitoring server's binary TCP protocol.
//
// The records below are the monitoring model the library hands to its users.
// Their field order, widths and pointers are part of the library's interface:
// callers read the fields directly and walk the pointers. Texts are the
// server's 8-bit texts (Windows-1252), cut to their field and NUL-terminated;
// statuses are the kStatus codes of TesmoProtocol.h. Every record except
// strTimeValue and strAnalisisData is owned by the TesmoClient that filled it
// and stays valid until that client's Load releases its catalogue (a Load
// that finds the catalogue unchanged keeps it) or the client is destroyed;
// pointer fields point into arrays of the same client, null meaning none.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#if defined(TESMO_CLIENT_STATIC)
#define TESMO_CLIENT_API
#elif defined(TESMO_CLIENT_EXPORTS)
#define TESMO_CLIENT_API __declspec(dllexport)
#else
#define TESMO_CLIENT_API __declspec(dllimport)
#endif
#else
#define TESMO_CLIENT_API __attribute__((visibility("default")))
#endif

struct strGroup;
struct strMachine;
struct strPoint;
struct strVariable;
struct strAnalisis;

// One group of machines.
struct strGroup {
    char name[50];
    char id[50];          // same text as name
    std::int32_t status;  // -1 after Load; raised by the caller
    std::int32_t countOfMachines;
    strMachine* machines;  // first machine of the group; null when none
};

// One monitored machine.
struct strMachine {
    char name[50];
    char id[50];            // same text as name
    std::int32_t status;    // from the last Update; -1 after Load
    std::int32_t auxState;  // 1, 0 or -1; -1 after Load
    std::uint8_t auxFlag;   // 0 after Load
    std::int32_t countOfPoints;
    std::int32_t countOfVariables;
    std::int32_t countOfAnalisis;
    strGroup* group;
    strPoint* points;
    // DIGITAL (servers 200 and above only), ANALOG, RPM, the variables of every
    // point in point order, then SPECIALICED.
    strVariable* variables;
    strAnalisis* analisis;
    std::int32_t countOfDigital;
    std::int32_t countOfAnalog;
    std::int32_t countOfRpm;
    std::int32_t countOfSpecial;
    strVariable* firstSpecial;  // null when there is none
};

// One measuring point of a machine.
struct strPoint {
    char name[50];
    char id[50];          // point number and letter, as in 3H
    std::int32_t status;  // -1 after Load; raised by the caller
    std::int32_t countOfVariables;
    strVariable* variables;  // first of the point's consecutive variables; null when none
};

// One measured variable.
struct strVariable {
    char name[50];
    char units[10];
    char id[50];      // decimal variable number on the server
    strPoint* point;  // null for DIGITAL, ANALOG and RPM variables
    char type[20];    // a kType text of TesmoProtocol.h, or a SPECIALICED variable's kind
    std::uint8_t lowLowEnable;
    std::uint8_t lowEnable;
    std::uint8_t highEnable;
    std::uint8_t highHighEnable;
    float lowLow;
    float low;
    float high;
    float highHigh;
    float value;  // from the last Update; DIGITAL 1.0 on, 0.0 off
    std::uint8_t statusBit6;
    std::int32_t status;  // from the last Update; -1 after Load
    std::uint8_t statusBit4;
    std::uint8_t statusBit5;
    std::uint8_t statusBit7;
    std::uint8_t kind;       // a kKind code of TesmoProtocol.h
    std::uint16_t index;     // kind 0: point position; otherwise position among its kind
    std::uint16_t subIndex;  // kind 0: position within the point; otherwise 0
};

// One analysis definition: a stored spectrum or waveform of a point variable.
struct strAnalisis {
    char id[50];  // variable id, a slash and the type letter, as in 1207/S
    char type;    // 'S' spectrum, 'W' waveform
    strPoint* point;
    char magnitude[20];  // name of the analysed variable
    char units[10];      // units of the analysed variable
    float fmax;
    std::uint16_t lines;
    std::uint16_t averages;
    std::uint16_t samples;
    float fs;
    std::int32_t status;  // from the last Update; -1 after Load
};

// One trend sample, written into the caller's storage by GetTrendData.
struct strTimeValue {
    std::int32_t time;  // UTC seconds since 1970
    float value;
};

// Header of one stored analysis result, written into the caller's storage by GetAnalisis.
struct strAnalisisData {
    char type;          // 'E' spectrum, 'F' waveform, as the server sends it
    std::int32_t time;  // UTC seconds since 1970
    float rpm;
    float fs;
    float fmin;
    float fmax;
    float kw;
    std::int32_t count;  // number of values, fetched with GetAnalisisData
};

// Kinds of exchange with a Tesmo server, as strExchangeCounts counts them.
enum eExchangeKind {
    ExchangeLogin,
    ExchangeStamp,         // catalogue stamp
    ExchangeCatalogue,     // catalogue download
    ExchangeSpecialKinds,  // diagnostic kinds
    ExchangeValues,        // current values of one machine
    ExchangeTrend,         // mapped or raw trend
    ExchangeAnalisis,      // stored analysis
    kExchangeKindCount
};

// The exchanges of every client of the process since it started, read by
// TesmoClient::GetExchangeCounts. An exchange is one request (or the login)
// and its whole reply; one refused before anything was sent is not counted.
struct strExchangeCounts {
    std::uint64_t succeeded[kExchangeKindCount];  // by eExchangeKind
    // Transport failures (the connection closed, see Failures below) and
    // refused logins, by eExchangeKind.
    std::uint64_t failed[kExchangeKindCount];
    std::uint64_t bytesReceived;  // every byte read from a server, headers included
};

// A client of one Tesmo server: holds the connection, the reply buffer, the
// catalogue tree and the results of the last trend and analysis queries.
// One object is used by one thread at a time; objects share nothing.
//
// A service uses it in this order: Init, Connect, Load, then Update and the
// queries on machines found through GetGroup, then Disconnect.
//
// Failures. Every operation reports only true or false. A transport failure
// (a send or receive that fails or runs out of time, a reply whose length
// breaks the exchange's bounds, a reply whose length does not match the count
// it announces) closes the connection: the client is then disconnected and
// Connect may be called again. Any other false leaves the connection open and
// in step: a record not of this client is refused before anything is sent, a
// malformed catalogue or a short values reply once the whole reply was read.
//
// Records. Update, GetTrend and GetAnalisis accept only records of this
// client's current catalogue, found by their address: a machine reached
// through GetGroup, a variable in that machine's `variables`, a definition in
// its `analisis`. Anything else (a copy, a record of another client or of a
// catalogue since released) makes them return false without any exchange.
//
// Times are UTC seconds since 1970, signed 32-bit on the wire and in the
// records; the `from` and `to` arguments are sent as their low 32 bits.
class TESMO_CLIENT_API TesmoClient {
  public:
    // Starts the socket layer and allocates the reply buffer; throws the text
    // "WSAStartup failed" (a const char*) when the socket layer cannot start.
    TesmoClient();
    // Closes a connection still open and releases everything the client owns:
    // every record and value handed out becomes invalid.
    ~TesmoClient();
    TesmoClient(const TesmoClient&) = delete;
    TesmoClient& operator=(const TesmoClient&) = delete;

    // Stores copies of the credentials and the server address, replacing
    // earlier ones; a null text counts as empty. Neither connects nor touches
    // an open connection.
    void Init(const char* user, const char* password, const char* host, unsigned short port);
    // Time-out in seconds (10 by default; a value below 1 restores it, one
    // day is the most) for connecting, name resolution included, and for each
    // exchange as a whole: the login, and every request with the whole of its
    // reply. Running out of it is a transport failure.
    void SetTimeout(int seconds);
    // Opens the connection and logs in; true when logged in. False, with
    // nothing sent, when already connected (the connection stays as it is),
    // before Init, or when user name and password together exceed 99 bytes;
    // false, disconnected, when the host does not resolve, the connection
    // cannot be made or the server refuses the login.
    bool Connect();
    // Closes the connection; harmless when not connected. The catalogue and
    // the query results stay.
    void Disconnect();

    // Makes the catalogue current. With a server of version 200 or above it
    // first asks for the catalogue stamp; when the stamp is the one the tree
    // was loaded with, the tree is kept and Load returns true. Otherwise the
    // tree is released (every record of it becomes invalid, whether or not
    // what follows succeeds), downloaded and built again, and with a server of
    // version 200 or above the diagnostic kinds refine its SPECIALICED
    // variables. False when the stamp cannot be fetched (the tree is kept),
    // when the download fails or the catalogue is malformed (no groups are
    // left), or when the diagnostic kinds cannot be fetched (the new tree is
    // kept, but the next Load downloads again).
    bool Load();
    // Fetches the current values and states of one machine of the catalogue
    // into it, its variables and its analyses. Nothing is reallocated: every
    // record stays valid. False, with the machine unchanged, when the reply is
    // shorter than the machine's layout.
    bool Update(strMachine* machine);

    // Asks for the samples of one variable of one machine between from and to.
    // The samples of the previous GetTrend are discarded first, whether or not
    // this one succeeds. On true, *count holds the number of samples received
    // (0 when there are none), which GetTrendData then hands out; they stay
    // until the next GetTrend or the client's destruction (Load and Disconnect
    // keep them). from, to and maxItems go to the server unchanged; the reply
    // is not cut to maxItems. mapped false asks a server of version 200 or
    // above for the raw samples; older servers always get the mapped request.
    bool GetTrend(int* count, strMachine* machine, strVariable* variable, long from, long to,
                  int maxItems, bool mapped);
    // Copies sample i (0 <= i < the last GetTrend's count) into *out; false,
    // with *out untouched, for any other i.
    bool GetTrendData(strTimeValue* out, int i);
    // Asks for the latest stored result of one analysis definition between
    // from and to. The values of the previous GetAnalisis are discarded
    // first, whether or not this one succeeds. On true, *data holds the
    // result's header, all zero (count 0) when the server stored none in the
    // window; its count values are handed out by GetAnalisisData and stay until
    // the next GetAnalisis or the client's destruction. On false *data is
    // untouched. flag true sends -1 in the request's flag field, false 0.
    bool GetAnalisis(strAnalisisData* data, strMachine* machine, strAnalisis* analisis, long from,
                     long to, bool flag);
    // Copies value i (0 <= i < the last GetAnalisis's count) into *out; false,
    // with *out untouched, for any other i.
    bool GetAnalisisData(float* out, int i);

    // The number of groups of the catalogue; 0 before the first Load.
    int GetCountOfGroups();
    // Group i for 0 <= i < GetCountOfGroups(), otherwise null. The group, its
    // machines (countOfMachines consecutive ones from `machines`) and all they
    // point to stay valid until a Load releases the tree or the client is
    // destroyed.
    strGroup* GetGroup(int i);

    // Writes the library version "1.2"; returns its length, or -1 when it does not fit.
    static int GetVersion(char* text, unsigned long size);

    // For a process that stops: milliseconds from now on, every exchange of
    // every client fails at once, and exchanges still waiting then end within
    // a fraction of a second, however long their time-out.
    static void AbandonExchangesAfter(int milliseconds);

    // Fills *counts with the exchange counts of the process. Each counter is
    // read on its own (relaxed atomics), so a call may run on any thread at
    // any time, also while other clients exchange.
    static void GetExchangeCounts(strExchangeCounts* counts);

  private:
    void MachinesMemoryFree();

    bool SendAndReceive(std::uint32_t command, std::uint16_t machine, const unsigned char* payload,
                        std::uint32_t payloadLength, std::uint32_t minReply, std::uint32_t maxReply,
                        std::uint32_t* replyLength);
    bool LoadCatalogue();
    bool LoadSpecialKinds();
    int FindMachine(const strMachine* machine) const;
    void ReleaseTrendValues();
    void ReleaseAnalisisValues();

    char* user;                          // owned copy; null when the name is empty
    char* password;                      // owned copy; null when empty
    char* host;                          // owned copy; null until Init
    std::uint16_t port;                  // server TCP port; 2500 until Init
    std::uint32_t userLength;            // bytes of user
    std::uint32_t passwordLength;        // bytes of password
    std::uint32_t hostLength;            // bytes of host and its NUL
    std::int32_t serverVersion;          // announced at the last login; 0 before
    std::int32_t catalogueStamp;         // the server's stamp of the tree held; 0 before one
    std::intptr_t socket;                // the connection; -1 when not connected
    char* receiveBuffer;                 // owned; every reply payload lands here
    std::int32_t countOfGroups;          // of groups
    std::int32_t countOfMachines;        // of machines
    strGroup* groups;                    // owned group array of the tree
    strMachine* machines;                // owned machine array of the tree
    strTimeValue* trendValues;           // owned samples of the last GetTrend
    std::int32_t countOfTrendValues;     // their number
    float* analisisValues;               // owned values of the last GetAnalisis
    std::int32_t countOfAnalisisValues;  // their number
    std::int32_t timeoutSeconds;         // for connecting and for each exchange
};
