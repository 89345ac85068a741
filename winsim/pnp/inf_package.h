// What a driver INF installs, read as SetupAPI reads it for a 64-bit
// machine: the models of each manufacturer (the NTamd64 decoration
// preferred), each model's install section (.NTamd64, .NT or plain), its
// services (the one with flag 0x2 is the function driver) and the upper
// filters its .HW section adds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pnp/driver_table.h"
#include "pnp/inf_file.h"

namespace winsim::pnp {

struct InfService {
    std::string name;
    std::string displayName;
    ULONG type = 1;
    ULONG start = 3;
    ULONG errorControl = 1;
    std::u16string imagePath;  // "\SystemRoot\System32\drivers\..." for dirid 12
};

struct InfModel {
    std::u16string hardwareId;
    DevicePackage package;
    std::vector<InfService> services;
};

struct InfPackage {
    std::u16string classGuid;
    std::string className;
    std::vector<InfModel> models;
};

// Null unless the file is a driver INF ("$Windows NT$" or "$Chicago$"
// signature, a class GUID).
std::optional<InfPackage> ReadInfPackage(const InfFile& inf);

// The model for that hardware id (compared without regard to case).
const InfModel* FindModel(const InfPackage& package, std::u16string_view hardwareId);

}  // namespace winsim::pnp
