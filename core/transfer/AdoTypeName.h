#pragma once

#include <cstdint>
#include <string>

// The name of the ADO data type constant for a column type code, spelled as
// in the ADO type enumeration ("adBigInt"); "" for a code it does not name.
std::string AdoTypeName(int16_t code);
