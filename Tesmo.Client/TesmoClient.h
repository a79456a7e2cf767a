// Tesmo.Client: client of the Tesmo monitoring server's binary TCP protocol.
//
// The records below are the monitoring model the library hands to its users.
// Their field order, widths and pointers are part of the library's interface:
// callers read the fields directly and walk the pointers. Every record except
// strTimeValue and strAnalisisData is owned by the TesmoClient that filled it
// and stays valid until that client reloads its catalogue or is destroyed.
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
    char type[20];    // "DIGITAL", "ANALOG", "RPM", "VIBRATION", "SPECIALICED" or a kind text
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
    std::uint8_t kind;       // 0 point, 1 RPM, 2 ANALOG, 3 DIGITAL, 4 SPECIALICED
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
    char type;  // 'E' spectrum, 'F' waveform, as the server sends it
    std::int32_t time;
    float rpm;
    float fs;
    float fmin;
    float fmax;
    float kw;
    std::int32_t count;  // number of values, fetched with GetAnalisisData
};

// A client of one Tesmo server: holds the connection, the reply buffer, the
// catalogue tree and the results of the last trend and analysis queries.
// One object is used by one thread at a time; objects share nothing.
class TESMO_CLIENT_API TesmoClient {
  public:
    // Starts the socket layer; throws the text "WSAStartup failed" when it cannot.
    TesmoClient();
    // Closes a connection still open and releases everything the client owns.
    ~TesmoClient();
    TesmoClient(const TesmoClient&) = delete;
    TesmoClient& operator=(const TesmoClient&) = delete;

    // Stores copies of the credentials and the server address; does not connect.
    void Init(const char* user, const char* password, const char* host, unsigned short port);
    // Time-out in seconds (10 by default; a value below 1 restores it) for
    // connecting, name resolution included, and for each exchange as a whole:
    // the login, and every request with the whole of its reply. Running out
    // of it is a transport failure.
    void SetTimeout(int seconds);
    // Opens the connection and logs in. False when already connected.
    bool Connect();
    void Disconnect();

    // Downloads the catalogue (unless the server's stamp says it is unchanged).
    bool Load();
    // Fetches the current values and states of one machine of the catalogue.
    bool Update(strMachine* machine);

    bool GetTrend(int* count, strMachine* machine, strVariable* variable, long from, long to,
                  int maxItems, bool mapped);
    bool GetTrendData(strTimeValue* out, int i);
    bool GetAnalisis(strAnalisisData* data, strMachine* machine, strAnalisis* analisis, long from,
                     long to, bool flag);
    bool GetAnalisisData(float* out, int i);

    int GetCountOfGroups();
    strGroup* GetGroup(int i);

    // Writes the library version "1.2"; returns its length, or -1 when it does not fit.
    static int GetVersion(char* text, unsigned long size);

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

    char* user;
    char* password;
    char* host;
    std::uint16_t port;
    std::uint32_t userLength;
    std::uint32_t passwordLength;
    std::uint32_t hostLength;
    std::int32_t serverVersion;
    std::int32_t catalogueStamp;
    std::intptr_t socket;  // -1 when not connected
    char* receiveBuffer;
    std::int32_t countOfGroups;
    std::int32_t countOfMachines;
    strGroup* groups;
    strMachine* machines;
    strTimeValue* trendValues;
    std::int32_t countOfTrendValues;
    float* analisisValues;
    std::int32_t countOfAnalisisValues;
    std::int32_t timeoutSeconds;
};
