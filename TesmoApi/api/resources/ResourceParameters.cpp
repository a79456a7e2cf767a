#include "api/resources/ResourceParameters.h"

#include <cstring>

bool ReadText(const char* parameters, const char* name, char* value, uint32_t limit) {
    return GetParameter(parameters, name, value, limit) && value[0] != '\0';
}

bool ReadTime(const char* parameters, const char* name, int32_t* time) {
    char text[ParameterSize(kTimeLimit)];
    return GetParameter(parameters, name, text, kTimeLimit) && ParseTime(text, time);
}

void ReadCount(const char* parameters, const char* name, int32_t* count) {
    char text[ParameterSize(kOptionLimit)];
    if (GetParameter(parameters, name, text, kOptionLimit)) ScanInteger(text, count);
}

void ReadFlag(const char* parameters, const char* name, bool* flag) {
    char text[ParameterSize(kOptionLimit)];
    if (!GetParameter(parameters, name, text, kOptionLimit)) return;
    if (std::strcmp(text, "true") == 0) *flag = true;
    if (std::strcmp(text, "false") == 0) *flag = false;
}
