// The records of a catalogue reply, written out field by field.
#pragma once

#include <string>

#include "WireBytes.h"

struct strMachineCounts {
    std::uint16_t points = 0;
    std::uint16_t rpm = 0;
    std::uint16_t analog = 0;
    std::uint16_t digital = 0;
    std::uint16_t analisis = 0;
    std::uint16_t special = 0;
    std::uint16_t trailing = 0;
};

inline std::string CatalogueHead(std::int16_t groups, std::int16_t machines) {
    return Bytes().I16(groups).I16(machines);
}

inline std::string GroupRecord(const std::string& name) {
    return Bytes().Text(name, 50).Zeros(4);
}

inline std::string MachineRecord(const std::string& name, std::int16_t group,
                                 const strMachineCounts& c) {
    return Bytes()
        .Text(name, 50)
        .Zeros(130)
        .I16(group)
        .Zeros(8)
        .U16(c.points)
        .U16(c.rpm)
        .U16(c.analog)
        .U16(c.digital)
        .U16(c.analisis)
        .U16(c.special)
        .U16(c.trailing);
}

inline std::string DigitalRecord(std::int32_t number, const std::string& name) {
    return Bytes().I32(number).Text(name, 50).Zeros(112);
}

inline std::string AnalogRecord(std::int32_t number, const std::string& name,
                                const std::string& units, std::uint8_t flags, float highHigh,
                                float high, float low, float lowLow) {
    return Bytes()
        .I32(number)
        .Text(name, 50)
        .Text(units, 10)
        .Zeros(12)
        .Levels(flags, highHigh, high, low, lowLow)
        .Zeros(8);
}

inline std::string RpmRecord(std::int32_t number, const std::string& name, std::uint8_t flags,
                             float highHigh) {
    return Bytes().I32(number).Text(name, 50).Zeros(12).Levels(flags, highHigh, 0, 0, 0).Zeros(8);
}

inline std::string PointHeader(std::int16_t number, char letter, const std::string& name,
                               std::int16_t variables, std::int16_t skipped) {
    return Bytes()
        .I16(number)
        .U8(static_cast<std::uint8_t>(letter))
        .Text(name, 50)
        .Zeros(12)
        .I16(variables)
        .I16(skipped)
        .Zeros(12);
}

inline std::string SkippedRecord() {
    return Bytes().Zeros(55);
}

inline std::string PointVariableRecord(std::int32_t number, const std::string& measurement,
                                       const std::string& units, std::uint8_t flags = 0,
                                       float highHigh = 0, float high = 0) {
    return Bytes()
        .I32(number)
        .Text(measurement, 50)
        .Text(units, 10)
        .Zeros(2)
        .Levels(flags, highHigh, high, 0, 0)
        .Zeros(8);
}

inline std::string AnalisisRecord(char kind, std::int16_t point, std::int16_t variable, float fmax,
                                  std::uint16_t lines, std::uint16_t averages,
                                  std::uint16_t samples, float fs) {
    return Bytes()
        .U8(static_cast<std::uint8_t>(kind))
        .I16(point)
        .I16(variable)
        .Zeros(2)
        .F32(fmax)
        .U16(lines)
        .U16(averages)
        .U16(samples)
        .F32(fs);
}

inline std::string SpecialRecord(std::int32_t number, const std::string& name, std::int16_t point,
                                 std::int16_t analisis, char degreesMark, std::uint8_t flags = 0,
                                 float highHigh = 0) {
    return Bytes()
        .I32(number)
        .Text(name, 50)
        .I16(point)
        .Zeros(2)
        .I16(analisis)
        .U8(static_cast<std::uint8_t>(degreesMark))
        .Zeros(13)
        .Levels(flags, highHigh, 0, 0, 0)
        .Zeros(8);
}

inline std::string TrailingRecord() {
    return Bytes().Zeros(14);
}

// A small plant with every kind of record:
//  group 0 "Pumps" holds P-101 and F-201; group 1 "Spare" holds none.
//  P-101: DIGITAL 10 "Running"; ANALOG 20 "Pressure" bar; RPM 30 "Speed";
//    point 1H "Motor NDE": 101 "Velocidad" mm/s, 102 "TEMPERATURA" C (one skipped record);
//    point 2V "Pump DE": 103 "Desplazamiento 1X" um; point 3A "Spare": no variables;
//    analyses: spectrum of 101, waveform of 103;
//    SPECIALICED 201 "Bearing" at point 0 with the units of analysis 0,
//    202 "Phase" at point 1 in degrees; one trailing record.
//  F-201: ANALOG 40 "Flow" m3/h.
inline std::string DemoCatalogue() {
    strMachineCounts pump;
    pump.points = 3;
    pump.rpm = 1;
    pump.analog = 1;
    pump.digital = 1;
    pump.analisis = 2;
    pump.special = 2;
    pump.trailing = 1;
    strMachineCounts fan;
    fan.analog = 1;
    return Bytes()
        .Append(CatalogueHead(2, 2))
        .Append(GroupRecord("Pumps"))
        .Append(GroupRecord("Spare"))
        .Append(MachineRecord("P-101", 0, pump))
        .Append(DigitalRecord(10, "Running"))
        .Append(AnalogRecord(20, "Pressure", "bar", 0x0F, 9.5f, 8.0f, 2.0f, 1.5f))
        .Append(RpmRecord(30, "Speed", 0x02, 3600.0f))
        .Append(PointHeader(1, 'H', "Motor NDE", 2, 1))
        .Append(SkippedRecord())
        .Append(PointVariableRecord(101, "Velocidad", "mm/s", 0x01, 7.1f, 4.5f))
        .Append(PointVariableRecord(102, "TEMPERATURA", "C"))
        .Append(PointHeader(2, 'V', "Pump DE", 1, 0))
        .Append(PointVariableRecord(103, "Desplazamiento 1X", "um"))
        .Append(PointHeader(3, 'A', "Spare", 0, 0))
        .Append(AnalisisRecord('E', 0, 0, 1000.0f, 800, 4, 0, 0.0f))
        .Append(AnalisisRecord('F', 1, 0, 0.0f, 0, 1, 1024, 2560.0f))
        .Append(SpecialRecord(201, "Bearing", 0, 0, '1', 0x01, 3.0f))
        .Append(SpecialRecord(202, "Phase", 1, 0, '0'))
        .Append(TrailingRecord())
        .Append(MachineRecord("F-201", 0, fan))
        .Append(AnalogRecord(40, "Flow", "m3/h", 0, 0, 0, 0, 0));
}

// Diagnostic kinds for DemoCatalogue: P-101's specials are 45 (BEARING) and 5
// (no text); F-201 has none.
inline std::string DemoKinds() {
    return Bytes().I16(2).U8(45).Zeros(20).U8(5).Zeros(20).I16(0);
}
