// Facts of the simulated plants that tests and demonstrations rely on, stated
// once: the plants (Plant.cpp) are built from these names and numbers, and
// the tests check everything else they publish (counts, layouts, statuses)
// against what is built. Texts are as the server sends them: Windows-1252, so
// "\xF3" is a lowercase o with an acute accent.
#pragma once

namespace tesmosim {

// Variable numbers are machine position * kNumbersPerMachine + a slot: the
// point variables take 1, 2, 3 ... in point order, the other kinds count up
// from their first slot.
constexpr int kNumbersPerMachine = 100;
constexpr int kFirstDigitalSlot = 60;
constexpr int kFirstAnalogSlot = 70;
constexpr int kFirstRpmSlot = 80;
constexpr int kFirstSpecialSlot = 90;

// The demo plant: groups and machines in catalogue order, each machine with
// the status it has at every time and seed. The stopped machine reports
// speed 0, its motor off, every status undefined, and it has no stored
// analyses.
//
// The large plant has 16 groups ("\xC1rea 01" ...) of machines named
// "L-0001 Bomba", "L-0002 Ventilador", "L-0003 Compresor", "L-0004 Reductor"
// and so on, with the same layouts and numbering as the demo plant; its
// catalogue reply lies within 14 bytes of the 262,240-byte reply bound.
namespace demo {
constexpr int kGroupCount = 4;
constexpr int kMachineCount = 12;

constexpr const char* kGroupPumps = "Bombeo";               // 5 pumps
constexpr const char* kGroupFans = "Ventilaci\xF3n";        // 3 fans
constexpr const char* kGroupEmpty = "Reserva";              // no machines
constexpr const char* kGroupCompressors = "Compresi\xF3n";  // 3 compressors and a gearbox

// The pumps.
constexpr const char* kMachineNormal = "P-101";   // normal
constexpr const char* kMachineAlarm = "P-102";    // alarm: misalignment at 2H
constexpr const char* kMachineStopped = "P-103";  // stopped: undefined
// Normal. The longest name a field carries: 49 characters and their
// terminator, 50 bytes in UTF-8.
constexpr const char* kMachineLongName = "P-104 Bomba de alimentaci\xF3n de agua de caldera 12";
// Normal, with one SPECIALICED variable of a kind the kind table lacks.
constexpr const char* kMachineUnknownKind = "P-105";
// The fans.
constexpr const char* kMachineFan = "V-201";       // normal
constexpr const char* kMachineFanAlarm = "V-202";  // alarm: unbalance at 3H
constexpr const char* kMachineFanLast = "V-203";   // normal
// The compressors and the gearbox.
constexpr const char* kMachineTrip = "K-301";            // trip: misalignment at 3H
constexpr const char* kMachineCompressor = "K-302";      // normal
constexpr const char* kMachineCompressorLast = "K-303";  // normal
// Gearbox, alarm: a bearing fault; two RPM variables.
constexpr const char* kMachineBearingFault = "R-304";

// Variables of kMachineNormal (every pump has the same layout, offset by
// kNumbersPerMachine per machine position). Points, in order: 1H, 1V, 2H,
// 2A, 3H, 4H. The motor's free end (1H and 1V of pumps and compressors, 1H
// of fans) carries this name.
constexpr const char* kPointMotorFreeEnd = "Motor lado libre";
constexpr int kPointCount = 6;
constexpr int kVarVelocity1H = 1;      // "Velocidad" at 1H
constexpr int kVarAcceleration1H = 2;  // "Aceleracion" at 1H, g
constexpr int kVarEnvelope1H = 3;      // "Envolvente" at 1H, gE
constexpr int kVarTemperature1H = 4;   // "Temperatura" at 1H, degrees Celsius
constexpr int kVarDisplacement1X = 9;  // "Desplazamiento 1X" at 2H
constexpr int kVarPhase1X = 10;        // "Fase 1X" at 2H
constexpr int kVarUnknownName = 14;    // "Curtosis" at 3H: a name outside the server's table
constexpr int kVarMotorRunning = kFirstDigitalSlot;        // DIGITAL
constexpr int kVarPressure = kFirstAnalogSlot;             // ANALOG, kPressureName
constexpr int kVarFlow = kFirstAnalogSlot + 1;             // ANALOG, m3/h
constexpr int kVarCurrent = kFirstAnalogSlot + 2;          // ANALOG, A
constexpr int kVarSpeed = kFirstRpmSlot;                   // RPM
constexpr int kVarUnbalance = kFirstSpecialSlot;           // SPECIALICED, kind UNBALANCE
constexpr int kVarMisalignment = kFirstSpecialSlot + 1;    // SPECIALICED, kind MISALIGMENT
constexpr int kVarBearing = kFirstSpecialSlot + 2;         // SPECIALICED, kind BEARING
constexpr int kVarPhaseIndicator = kFirstSpecialSlot + 3;  // SPECIALICED, kind PHASE, degrees
constexpr int kPumpVariableCount = 25;                     // with DIGITAL (protocol 200 and above)
constexpr int kPumpPointVariableCount = 16;
constexpr int kPumpAnalysisCount = 11;
constexpr double kPumpSpeedRpm = 2975;
// Every velocity ("Velocidad") of the plant: its units and its high level.
constexpr const char* kVelocityUnits = "mm/s";
constexpr float kVelocityHigh = 7.1f;
// The pumps' first ANALOG variable.
constexpr const char* kPressureName = "Presi\xF3n de descarga";
constexpr const char* kPressureUnits = "bar";

// Analysis definitions of kMachineNormal: spectrum and waveform of the velocity at 1H.
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

// The edge plant, which holds what is hard to carry through: texts with a
// double quote, a backslash, a tab and Windows-1252 letters ("\x80" is the
// euro sign, "\x9C" the ligature oe), names of the largest size the protocol
// carries (49 characters and their terminator in a 50-byte field), ids whose
// UTF-8 form takes far more than 50 bytes, two machines that share an id,
// values that are NaN or infinite, and the largest stored spectrum a reply
// can carry. Its machines take the demo plant's layouts and numbering; the
// pump E-1 has a further point and further ANALOG variables.
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
constexpr int kVarFirstTwinVelocity = 4 * kNumbersPerMachine + demo::kVarVelocity1H;
constexpr int kVarLaterTwinVelocity = 6 * kNumbersPerMachine + demo::kVarVelocity1H;
constexpr const char* kAnalysisFirstTwin = "401/S";
constexpr const char* kAnalysisLaterTwin = "601/S";

// The pump's further point (its seventh, number 5 'H') and its one variable.
constexpr const char* kPointName = "Punto \"5\" \\ \t\xD1";
constexpr const char* kMeasureName = "Medida \"pico\" \\ \x80";
constexpr int kVarMeasure = demo::kPumpPointVariableCount + 1;
// The pump's further ANALOG variables, after the three every pump has.
constexpr int kVarNaN = kFirstAnalogSlot + 3;       // always NaN
constexpr int kVarPlusInf = kFirstAnalogSlot + 4;   // always +infinity
constexpr int kVarMinusInf = kFirstAnalogSlot + 5;  // always -infinity
constexpr int kVarDropout = kFirstAnalogSlot + 6;   // a level with NaN samples among its trend
// The spectrum of the further point's variable: its stored results carry
// (262240 - 43) / 4 values, the most an analysis reply can hold.
constexpr int kSpectrumPosition = demo::kPumpAnalysisCount;  // among the pump's analyses
constexpr int kLargestSpectrumValues = 65549;
}  // namespace edge

}  // namespace tesmosim
