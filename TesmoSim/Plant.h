// The simulated plant: groups, machines and everything the catalogue lists
// about them, plus what the value functions need to bring it to life (each
// machine's condition, fault and nominal figures). Built once per server and
// shared read-only by every connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TesmoSim.h"

namespace tesmosim {

// How a machine behaves over the whole simulated history.
enum class eCondition {
    Normal,   // every value inside its normal band
    Alarm,    // the variables that carry its fault between high and high-high
    Trip,     // the variables that carry its fault above high-high
    Stopped,  // not running: speed 0, motor off, every status undefined
};

// The defect a machine suffers; it decides which variables leave their normal
// band and what the spectra show.
enum class eFault { None, Unbalance, Misalignment, Bearing };

// How a variable's value moves.
enum class eSignal {
    Level,    // a positive level with a daily cycle and noise (vibration, process, indicators)
    Phase,    // an angle wandering around its nominal
    Speed,    // running speed: nominal with small variation, 0 when stopped
    Digital,  // 1 while the machine runs, 0 when stopped
    Fixed,    // its nominal at every time, even NaN or an infinity
    Dropout,  // a level that a failing sensor reports as NaN at times
};

struct strSimLevels {
    std::uint8_t flags = 0;  // which levels are in use (the protocol's level flag bits)
    float highHigh = 0;
    float high = 0;
    float low = 0;
    float lowLow = 0;
};

struct strSimVariable {
    std::int32_t number = 0;
    std::string name;  // for point variables the server's measurement name
    std::string units;
    strSimLevels levels;
    eSignal signal = eSignal::Level;
    double nominal = 0;   // normal value around which it moves
    bool faulty = false;  // carries the machine's fault (leaves the normal band)
};

struct strSimPoint {
    std::int16_t number = 0;
    char letter = 'H';
    std::string name;
    std::int16_t skipped = 0;  // unread 55-byte records the catalogue carries in the block
    std::vector<strSimVariable> variables;
};

struct strSimAnalysis {
    char kind = 'E';  // the wire letter: 'E' spectrum, 'F' waveform
    std::int16_t point = 0;
    std::int16_t variable = 0;  // position within the point
    float fmax = 0;
    std::uint16_t lines = 0;
    std::uint16_t averages = 0;
    std::uint16_t samples = 0;
    float fs = 0;
    std::int32_t offset = 0;  // seconds after each storage period at which it is stored
    std::int32_t stored = 0;  // values of a stored spectrum; 0: one per line
};

struct strSimSpecial {
    strSimVariable variable;
    std::int16_t point = 0;
    std::int16_t analysis = 0;  // the analysis whose units it takes
    bool degrees = false;       // units are degrees instead
    std::int8_t kindCode = 0;   // diagnostic kind code
};

struct strSimMachine {
    std::string name;
    std::int16_t group = 0;
    eCondition condition = eCondition::Normal;
    eFault fault = eFault::None;
    double speedRpm = 0;  // nominal running speed of the measured shaft
    double powerKw = 0;
    std::vector<strSimVariable> digital;
    std::vector<strSimVariable> analog;
    std::vector<strSimVariable> rpm;
    std::vector<strSimPoint> points;
    std::vector<strSimAnalysis> analyses;
    std::vector<strSimSpecial> specials;
    std::uint16_t trailing = 0;  // trailing records the catalogue carries

    bool Running() const { return condition != eCondition::Stopped; }
    int CountOfPointVariables() const;
};

struct strSimPlant {
    std::vector<std::string> groups;
    std::vector<strSimMachine> machines;
};

// Size in bytes of a machine's block in the catalogue reply.
std::size_t MachineBlockSize(const strSimMachine& machine);

// Builds the named plant; the seed only moves stored-analysis offsets.
strSimPlant BuildPlant(eSimPlant which, std::uint32_t seed);

// The variable a trend request addresses by kind, index and sub-index, or
// null when the machine has no such variable.
const strSimVariable* FindVariable(const strSimMachine& machine, std::uint8_t kind,
                                   std::uint16_t index, std::uint16_t subIndex);

}  // namespace tesmosim
