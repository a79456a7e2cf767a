#include "Values.h"

namespace tesmo {

namespace {

std::int32_t PointVariables(const strMachine& machine) {
    std::int32_t count = 0;
    for (std::int32_t p = 0; p < machine.countOfPoints; ++p)
        count += machine.points[p].countOfVariables;
    return count;
}

std::int32_t MachineStatus(std::uint8_t code) {
    return code == kMachineStatusUndefined ? kStatusUndefined : code;
}

std::int32_t AuxState(std::uint8_t code) {
    if (code == kAuxStateOn) return 1;
    if (code == kAuxStateOff) return 0;
    return kStatusUndefined;
}

std::int32_t AnalisisStatus(std::uint8_t code) {
    return code < kAnalisisStatusUndefined ? static_cast<std::int32_t>(code) : kStatusUndefined;
}

void ApplyStatusByte(std::uint8_t status, strVariable* variable) {
    variable->status = StatusOfValueCode(status & kValueCodeMask);
    variable->statusBit4 = (status & kValueBit4) ? 1 : 0;
    variable->statusBit5 = (status & kValueBit5) ? 1 : 0;
    variable->statusBit6 = (status & kValueBit6) ? 1 : 0;
    variable->statusBit7 = (status & kValueBit7) ? 1 : 0;
}

// Reads the reply's entries in order; the layout size has been checked.
class ValuesReader {
  public:
    ValuesReader(ByteView payload, strMachine* machine) : cursor_(payload), machine_(machine) {}

    void MachineByte() {
        ByteView field;
        cursor_.Next(kMachineStatusSize, &field);
        std::uint8_t status = field.U8(0);
        machine_->status = MachineStatus(status & kMachineStatusMask);
        machine_->auxFlag = (status & kMachineAuxFlagBit) ? 1 : 0;
        machine_->auxState = AuxState((status >> kMachineAuxStateShift) & kMachineAuxStateMask);
    }

    // DIGITAL entries: only byte 0 of the value says on or off.
    void Digital(std::int32_t count) {
        for (std::int32_t k = 0; k < count; ++k) {
            ByteView entry;
            strVariable* variable = Entry(&entry);
            if (variable == nullptr) return;
            variable->value = entry.U8(0) != 0 ? 1.0f : 0.0f;
            ApplyStatusByte(entry.U8(kValueStatusOffset), variable);
        }
    }

    void Measured(std::int32_t count) {
        for (std::int32_t k = 0; k < count; ++k) {
            ByteView entry;
            strVariable* variable = Entry(&entry);
            if (variable == nullptr) return;
            variable->value = entry.F32(0);
            ApplyStatusByte(entry.U8(kValueStatusOffset), variable);
        }
    }

    void Skip(std::int32_t count) {
        cursor_.Skip(static_cast<std::uint64_t>(count), kValueEntrySize);
    }

    void Analisis() {
        for (std::int32_t a = 0; a < machine_->countOfAnalisis; ++a) {
            ByteView field;
            cursor_.Next(kAnalisisStatusSize, &field);
            machine_->analisis[a].status = AnalisisStatus(field.U8(0));
        }
    }

  private:
    // The next 5-byte entry and the variable it belongs to; null past the end.
    strVariable* Entry(ByteView* entry) {
        if (next_ >= machine_->countOfVariables || !cursor_.Next(kValueEntrySize, entry))
            return nullptr;
        return &machine_->variables[next_++];
    }

    RecordCursor cursor_;
    strMachine* machine_;
    std::int32_t next_ = 0;
};

}  // namespace

std::uint64_t ValuesLayoutSize(const strMachine& machine) {
    std::uint64_t entries = static_cast<std::uint64_t>(machine.countOfDigital) +
                            static_cast<std::uint64_t>(machine.countOfAnalog) +
                            static_cast<std::uint64_t>(machine.countOfRpm) +
                            static_cast<std::uint64_t>(PointVariables(machine)) +
                            static_cast<std::uint64_t>(machine.countOfSpecial);
    return kMachineStatusSize + entries * kValueEntrySize +
           static_cast<std::uint64_t>(machine.countOfAnalisis) * kAnalisisStatusSize;
}

bool ApplyValues(ByteView payload, bool currentProtocol, strMachine* machine) {
    if (payload.Size() < ValuesLayoutSize(*machine)) return false;
    ValuesReader reader(payload, machine);
    reader.MachineByte();
    if (currentProtocol)
        reader.Digital(machine->countOfDigital);
    else
        reader.Skip(machine->countOfDigital);
    reader.Measured(machine->countOfAnalog + machine->countOfRpm + PointVariables(*machine));
    reader.Analisis();
    reader.Measured(machine->countOfSpecial);
    return true;
}

bool ReadTrendReply(ByteView reply, strTimeValue** values, std::int32_t* count) {
    std::int32_t samples = reply.I32(kTrendCountOffset);
    if (samples < 0 || reply.Size() != kTrendSamplesOffset +
                                           static_cast<std::uint64_t>(samples) * kTrendSampleSize)
        return false;
    *values = nullptr;
    if (samples > 0) {
        *values = new strTimeValue[static_cast<std::size_t>(samples)];
        for (std::int32_t i = 0; i < samples; ++i) {
            std::size_t at = kTrendSamplesOffset + static_cast<std::size_t>(i) * kTrendSampleSize;
            (*values)[i].time = reply.I32(at);
            (*values)[i].value = reply.F32(at + sizeof(std::int32_t));
        }
    }
    *count = samples;
    return true;
}

bool ReadAnalisisReply(ByteView reply, strAnalisisData* data, float** values) {
    std::int32_t count = reply.I32(kAnalisisCountOffset);
    if (count < 0 || reply.Size() != kAnalisisValuesOffset +
                                         static_cast<std::uint64_t>(count) * kAnalisisValueSize)
        return false;
    data->type = static_cast<char>(reply.U8(kAnalisisTypeOffset));
    data->time = reply.I32(kAnalisisTimeOffset);
    data->rpm = reply.F32(kAnalisisRpmOffset);
    data->fs = reply.F32(kAnalisisResultFsOffset);
    data->fmin = reply.F32(kAnalisisFminOffset);
    data->fmax = reply.F32(kAnalisisResultFmaxOffset);
    data->kw = reply.F32(kAnalisisKwOffset);
    data->count = count;
    *values = nullptr;
    if (count > 0) {
        *values = new float[static_cast<std::size_t>(count)];
        for (std::int32_t i = 0; i < count; ++i)
            (*values)[i] =
                reply.F32(kAnalisisValuesOffset + static_cast<std::size_t>(i) * kAnalisisValueSize);
    }
    return true;
}

}  // namespace tesmo
