// TesmoSim: an in-process stand-in for the Tesmo monitoring server.
//
// It listens on a TCP port, accepts the login of one configured user and
// answers the catalogue, values, trend and analysis exchanges of the Tesmo
// binary protocol from a simulated plant. Values derive deterministically
// from the clock and a seed, so tests can pin "now" and know every answer.
// One thread serves each connection; the plant and its catalogue reply are
// built once in Start and shared read-only by every connection.
//
// It is as strict as a server can be with its clients: a request that is not
// exactly what a client sends (an unknown command, a reserved field that is
// not 0, a machine field on a request that names none, a payload length that
// is not the command's, a trend sub-index or an analysis flag no client
// sends) ends the connection unanswered, with the reason in the verbose log.
// With noise on, every byte of a reply that a client does not read is filled
// with pseudo-random values instead of zeros.
//
// Faults can be injected per exchange to test how clients cope with a
// server that stalls, drops the connection, cuts or garbles its replies,
// answers late or trickles them. The program tesmo-sim is a thin command
// line around this class.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tesmosim {

// Which simulated plant the server answers for.
enum class eSimPlant {
    Demo,   // the demonstration plant described in demo below
    Large,  // many machines; its catalogue reply lies just under the reply bound
    Empty,  // no groups and no machines
    Edge,   // awkward texts and values, the largest analysis: see edge below
};

// Everything Start needs. The defaults suit tests: port 0 lets the system
// pick a free port (read it back with GetPort).
struct strTesmoSimOptions {
    int port = 0;                       // TCP port; 0 picks a free one
    std::string bind = "127.0.0.1";     // IPv4 address or host name to listen on
    int version = 200;                  // protocol version announced at login
    std::string user = "demo";          // the one user name accepted at login
    std::string password = "demo";      // and its password
    eSimPlant plant = eSimPlant::Demo;  // which plant to simulate
    uint32_t seed = 1;                  // varies noise, phases and the catalogue stamp
    std::vector<std::string> faults;    // fault specs, as AddFault takes them
    bool verbose = false;               // one line per connection and exchange on stdout
    bool noise = false;                 // pseudo-random bytes wherever a client reads nothing
    int32_t now = 0;                    // fixed clock in UTC seconds; 0 follows the real clock
    int trendPeriod = 600;              // seconds between stored trend samples
};

class TesmoSimServer;

// Owns one running simulated server. Not copyable. Stop (or destruction)
// closes the listening socket and every open connection and waits for all
// threads to end.
class TesmoSim {
  public:
    TesmoSim();
    ~TesmoSim();
    TesmoSim(const TesmoSim&) = delete;
    TesmoSim& operator=(const TesmoSim&) = delete;

    // Builds the plant, applies the options' faults and starts listening.
    // False when already running, when a fault spec is malformed, or when
    // the address cannot be bound.
    bool Start(const strTesmoSimOptions& options);

    // The port actually listened on (the picked one when options.port was 0);
    // 0 when not running.
    int GetPort() const;

    // Stops listening, ends every connection and joins all threads.
    // Harmless when not running.
    void Stop();

    // Adds a fault, before or while running: "EXCHANGE:KIND[:EVERY]" with
    //   EXCHANGE  login, stamp, catalogue, kinds, values, trend or analysis
    //   KIND      stall     never answer (the connection stays open, silent)
    //             close     drop the connection instead of answering
    //             short     send part of the reply, then drop the connection
    //             badlength announce a payload length outside the client's
    //                       bounds (login: a reply that is not LoginAccepted)
    //             slow=MS   answer normally after MS milliseconds
    //             trickle=MS send the reply one byte at a time, one every
    //                       MS milliseconds
    //   EVERY     hit only every Nth exchange of that kind (default 1: all),
    //             counted over all connections
    // False (and nothing added) when the text is malformed. Faults stay until
    // ClearFaults, across Stop and Start; each Start adds the options' faults.
    bool AddFault(const char* spec);

    // Removes every fault.
    void ClearFaults();

    // The catalogue stamp the server announces (0 when not running).
    int32_t GetCatalogueStamp() const;

    // The size in bytes of the catalogue reply payload (0 when not running).
    int GetCatalogueSize() const;

  private:
    std::unique_ptr<TesmoSimServer> server;
};

// Facts of the demo plant that tests and demonstrations rely on. Texts are
// as the server sends them: Windows-1252, so "\xF3" is a lowercase o with an
// acute accent.
//
// Groups, in catalogue order: Bombeo (5 machines), Ventilación (3),
// Reserva (none), Compresión (4). Machines, in catalogue order:
//   P-101 normal, P-102 alarm, P-103 stopped (undefined),
//   the long-named pump (normal), P-105 normal,
//   V-201 normal, V-202 alarm, V-203 normal,
//   K-301 trip, K-302 normal, K-303 normal, R-304 alarm (bearing fault).
// Statuses hold at every time and seed. The stopped machine reports speed 0,
// its motor off, every status undefined, and it has no stored analyses.
//
// Variable numbers are machine position * 100 + a slot: the point variables
// take 1, 2, 3 ... in point order, the DIGITAL variable 60, the ANALOG ones
// 70, 71 ..., the RPM ones 80, 81, the SPECIALICED ones 90, 91 ...
//
// With a protocol version below 200 the catalogue still carries the DIGITAL
// records and the values reply their entries (old servers send them; the
// client steps over them), there is no stamp, no diagnostic kinds and no
// unmapped trend: those requests, like any request the server does not
// know, end the connection.
//
// The large plant has 16 groups ("\xC1rea 01" ...) of machines named
// "L-0001 Bomba", "L-0002 Ventilador", "L-0003 Compresor", "L-0004 Reductor"
// and so on, with the same layouts and numbering as the demo plant; its
// catalogue reply lies within 14 bytes of the 262,240-byte reply bound.
namespace demo {
constexpr int kGroupCount = 4;
constexpr int kMachineCount = 12;

constexpr const char* kGroupPumps = "Bombeo";
constexpr const char* kGroupFans = "Ventilaci\xF3n";
constexpr const char* kGroupEmpty = "Reserva";
constexpr const char* kGroupCompressors = "Compresi\xF3n";

constexpr const char* kMachineNormal = "P-101";
constexpr const char* kMachineAlarm = "P-102";
constexpr const char* kMachineStopped = "P-103";
constexpr const char* kMachineTrip = "K-301";
constexpr const char* kMachineBearingFault = "R-304";  // gearbox, alarm, two RPM variables
constexpr const char* kMachineUnknownKind = "P-105";   // one SPECIALICED variable of unknown kind
// The long name fills the whole 50-byte text field without a terminator;
// a client keeping 49 characters sees kMachineLongId.
constexpr const char* kMachineLongName =
    "P-104 Bomba de alimentaci\xF3n de agua a caldera principal";
constexpr const char* kMachineLongId = "P-104 Bomba de alimentaci\xF3n de agua a caldera pri";

// Variables of P-101 (every pump has the same layout, offset by 100 per
// machine position). Points, in order: 1H, 1V, 2H, 2A, 3H, 4H.
constexpr int kPointCount = 6;
constexpr int kVarVelocity1H = 1;       // "Velocidad" at 1H, mm/s
constexpr int kVarAcceleration1H = 2;   // "Aceleracion" at 1H, g
constexpr int kVarEnvelope1H = 3;       // "Envolvente" at 1H, gE
constexpr int kVarTemperature1H = 4;    // "Temperatura" at 1H, degrees Celsius
constexpr int kVarDisplacement1X = 9;   // "Desplazamiento 1X" at 2H
constexpr int kVarPhase1X = 10;         // "Fase 1X" at 2H
constexpr int kVarUnknownName = 14;     // "Curtosis" at 3H: a name outside the server's table
constexpr int kVarMotorRunning = 60;    // DIGITAL
constexpr int kVarPressure = 70;        // ANALOG, bar
constexpr int kVarFlow = 71;            // ANALOG, m3/h
constexpr int kVarCurrent = 72;         // ANALOG, A
constexpr int kVarSpeed = 80;           // RPM
constexpr int kVarUnbalance = 90;       // SPECIALICED, kind UNBALANCE
constexpr int kVarMisalignment = 91;    // SPECIALICED, kind MISALIGMENT
constexpr int kVarBearing = 92;         // SPECIALICED, kind BEARING
constexpr int kVarPhaseIndicator = 93;  // SPECIALICED, kind PHASE, units "degrees"
constexpr int kPumpVariableCount = 25;  // with DIGITAL (protocol 200 and above)
constexpr int kPumpPointVariableCount = 16;
constexpr int kPumpAnalysisCount = 11;
constexpr double kPumpSpeedRpm = 2975;

// Analysis definitions of P-101: spectrum and waveform of the velocity at 1H.
constexpr const char* kAnalysisSpectrum = "1/S";
constexpr const char* kAnalysisWaveform = "1/W";
constexpr int kSpectrumLines = 800;     // 0 to 1000 Hz
constexpr int kWaveformSamples = 2048;  // at 2560 Hz
// Stored analyses: one per definition every kAnalysisPeriod seconds, at a
// per-definition offset below one hour; none in the future of "now".
constexpr int kAnalysisPeriod = 4 * 3600;
// Trend samples and stored analyses reach back this far before "now".
constexpr int kHistorySeconds = 400 * 86400;
}  // namespace demo

// Facts of the edge plant, which holds what is hard to carry through: texts
// with a double quote, a backslash, a tab and Windows-1252 letters ("\x80" is
// the euro sign, "\x9C" the ligature oe), names of the largest size the
// protocol carries (49 characters and their terminator in a 50-byte field),
// ids whose UTF-8 form takes far more than 50 bytes, two machines that share
// an id, values that are NaN or infinite, and the largest stored spectrum a
// reply can carry. Its machines take the demo plant's layouts and numbering;
// the pump E-1 has a further point and further ANALOG variables.
//
// Groups, in catalogue order: kGroupQuoted (E-1, E-2), kGroupLetters (E-3,
// E-4, the first twin), kGroupAccented (the accented pump, the later twin).
namespace edge {
constexpr int kGroupCount = 3;
constexpr int kMachineCount = 7;

constexpr const char* kGroupQuoted = "Sala \"A\" C:\\planta";
constexpr const char* kGroupLetters =
    "Se\xF1"
    "ales\t\x80 \x9C";
// 49 characters, nearly all of them accented letters and typographic marks:
// 87 bytes in UTF-8.
constexpr const char* kGroupAccented =
    "Secci\xF3n \xAB\xD1"
    "and\xFA\xBB \xC1\xC9\xCD\xD3\xDA \xC0\xC8\xCC\xD2\xD9 \xC2\xCA\xCE\xD4\xDB "
    "\xC4\xCB\xCF\xD6\xDC \x80\x9C\x8A\x8E \x91\x97\x92\x99";

constexpr const char* kMachineQuote = "E-1 \"Bomba\"";          // pump, normal
constexpr const char* kMachineBackslash = "E-2 C:\\Bombas\\2";  // fan, alarm
constexpr const char* kMachineTab = "E-3\tCompresor";           // compressor, normal
// 49 characters with a quote, a backslash and a tab: the longest name a field
// carries with its terminator. Gearbox, normal.
constexpr const char* kMachineFull = "E-4 \"Reductor\" C:\\linea\t7 - prueba de campo 12345";
// 49 characters, 83 bytes in UTF-8: a pump (normal) in kGroupAccented,
// sixth in the catalogue.
constexpr const char* kMachineAccented =
    "Bomba \xD1 \xABImpulsi\xF3n\xBB \xC1\xC9\xCD\xD3\xDA \xE0\xE8\xEC\xF2\xF9 "
    "\xE2\xEA\xEE\xF4\xFB \xE4\xEB\xEF\xF6\xFC \x80\x85\x99\x96\x97";
// Two machines with this id, both normal: a fan in kGroupLetters (fifth in
// the catalogue), which every lookup by id finds first, and a pump in
// kGroupAccented (seventh). Variables are numbered by position, so each has
// variables and definitions the other lacks: the velocity at 1H and its
// spectrum.
constexpr const char* kMachineTwin = "E-5 Gemela";
constexpr int kVarFirstTwinVelocity = 401;
constexpr int kVarLaterTwinVelocity = 601;
constexpr const char* kAnalysisFirstTwin = "401/S";
constexpr const char* kAnalysisLaterTwin = "601/S";

// The pump's further point (its seventh, number 5 'H') and its one variable.
constexpr const char* kPointName = "Punto \"5\" \\ \t\xD1";
constexpr const char* kMeasureName = "Medida \"pico\" \\ \x80";
constexpr int kVarMeasure = 17;
// The pump's further ANALOG variables.
constexpr int kVarNaN = 73;       // always NaN
constexpr int kVarPlusInf = 74;   // always +infinity
constexpr int kVarMinusInf = 75;  // always -infinity
constexpr int kVarDropout = 76;   // a level with NaN samples among its trend
// The spectrum of the further point's variable: its stored results carry
// (262240 - 43) / 4 values, the most an analysis reply can hold.
constexpr int kSpectrumPosition = 11;  // among the pump's analyses
constexpr int kLargestSpectrumValues = 65549;
}  // namespace edge

}  // namespace tesmosim
