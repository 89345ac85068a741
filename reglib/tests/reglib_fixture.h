// A machine with the driver package installed for the library to work on,
// what the library prints during a call, and the registry as tests set it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cl84prreg64.h"
#include "hw/adapter_model.h"
#include "machine/machine.h"

namespace reglib_test {

class RegLibTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Every call released what it loaded.
    void TearDown() override;

    winsim::Machine& machine() { return *machine_; }
    winsim::hw::AdapterModel& Plug(const std::string& serial);
    void Unplug(winsim::hw::AdapterModel& adapter);

    // Runs the call and returns what it wrote to standard output.
    template <typename Call>
    static std::string Output(Call call)
    {
        ::testing::internal::CaptureStdout();
        call();
        return ::testing::internal::GetCapturedStdout();
    }

    static ULONG LibraryLoads(const std::string& dll);

    // HKLM\path; the keys on the way are created.
    static void SetString(const std::string& path, const std::string& name, const std::string& text);
    static void SetBinary(const std::string& path, const std::string& name, const std::vector<unsigned char>& data);
    static void SetMultiString(const std::string& path, const std::string& name,
                               const std::vector<std::string>& strings);
    static bool KeyExists(const std::string& path);
    // "(absent)" when there is no such text value.
    static std::string GetString(const std::string& path, const std::string& name);

    // A device instance under Enum that no device is present for.
    static void AddPhantom(const std::string& instancePath, const std::string& classGuid,
                           const std::vector<std::string>& hardwareIds);

private:
    std::unique_ptr<winsim::Machine> machine_;
};

inline constexpr const char* kPortsGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
inline constexpr const char* kUsbGuid = "{36FC9E60-C465-11CF-8056-444553540000}";
inline const std::string kEnum = "System\\CurrentControlSet\\Enum\\";

}  // namespace reglib_test
