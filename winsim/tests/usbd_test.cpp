// Tests of the USBD helpers: descriptor parsing and select-configuration
// URBs. Descriptor buffers are allocated at their exact length so that
// AddressSanitizer reports any read past them.
#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include <ntddk.h>
#include <usb.h>
#include <usbdlib.h>

#include "machine/machine.h"
#include "verifier/fault_injection.h"
#include "verifier/pool.h"

namespace {

using winsim::FaultInjection;
using winsim::Pool;
using winsim::PoolTag;
using winsim::TagFilter;

// A machine for each test; the test fails on pool it leaves behind and on
// any verifier report.
class UsbdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine_ = std::make_unique<winsim::Machine>();
        mark_ = Pool::Mark();
    }
    void TearDown() override
    {
        FaultInjection::Disarm();
        for (const winsim::PoolBlock& block : Pool::LeaksSince(mark_)) {
            ADD_FAILURE() << "leaked " << block.bytes << " bytes of pool tagged " << block.tag;
        }
        machine_.reset();
        for (const winsim::ViolationReport& report : capture_.Reports()) {
            ADD_FAILURE() << winsim::FormatViolation(report);
        }
    }

    winsim::PoolMark mark_;

private:
    winsim::Verifier::Capture capture_;
    std::unique_ptr<winsim::Machine> machine_;
};

// Builds a configuration descriptor the way a device would return it.
class ConfigBuilder {
public:
    ConfigBuilder& Interface(UCHAR number, UCHAR alternate, UCHAR endpoints, UCHAR interfaceClass = 0xff)
    {
        Raw({9, USB_INTERFACE_DESCRIPTOR_TYPE, number, alternate, endpoints, interfaceClass, 0, 0, 0});
        if (alternate == 0) {
            ++bytes_[4];
        }
        for (UCHAR i = 0; i < endpoints; ++i) {
            Raw({7, USB_ENDPOINT_DESCRIPTOR_TYPE, static_cast<UCHAR>(0x81 + i), USB_ENDPOINT_TYPE_BULK, 64, 0,
                 0});
        }
        return *this;
    }

    ConfigBuilder& Raw(std::initializer_list<UCHAR> bytes)
    {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }

    size_t Size() const { return bytes_.size(); }

    // The descriptor in a buffer of exactly wTotalLength bytes; a length
    // shorter than what was built cuts the descriptor there.
    std::unique_ptr<UCHAR[]> Build(size_t totalLength = 0)
    {
        if (totalLength == 0) {
            totalLength = bytes_.size();
        }
        bytes_[2] = static_cast<UCHAR>(totalLength);
        bytes_[3] = static_cast<UCHAR>(totalLength >> 8);
        std::unique_ptr<UCHAR[]> buffer(new UCHAR[totalLength]);
        memcpy(buffer.get(), bytes_.data(), totalLength);
        return buffer;
    }

private:
    // The configuration header; wTotalLength and bNumInterfaces follow the content.
    std::vector<UCHAR> bytes_{9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, 0, 1, 0, 0x80, 50};
};

PUSB_CONFIGURATION_DESCRIPTOR AsConfig(const std::unique_ptr<UCHAR[]>& buffer)
{
    return reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(buffer.get());
}

PUSB_INTERFACE_DESCRIPTOR FindInterface(PUSB_CONFIGURATION_DESCRIPTOR config, LONG number, LONG alternate = 0)
{
    return USBD_ParseConfigurationDescriptorEx(config, config, number, alternate, -1, -1, -1);
}

class UsbdParseConfigurationDescriptorEx : public UsbdTest {};
class UsbdGetInterfaceLength : public UsbdTest {};

TEST_F(UsbdParseConfigurationDescriptorEx, FindsInterfacesWhoseNumbersAreNotContiguous)
{
    auto buffer = ConfigBuilder().Interface(0, 0, 2).Interface(2, 0, 1, 0x0a).Build();
    PUSB_CONFIGURATION_DESCRIPTOR config = AsConfig(buffer);

    PUSB_INTERFACE_DESCRIPTOR first = FindInterface(config, 0);
    PUSB_INTERFACE_DESCRIPTOR absent = FindInterface(config, 1);
    PUSB_INTERFACE_DESCRIPTOR second = FindInterface(config, 2);

    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<UCHAR*>(first), buffer.get() + 9);
    EXPECT_EQ(absent, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(reinterpret_cast<UCHAR*>(second), buffer.get() + 9 + 9 + 2 * 7);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(config, config, -1, -1, 0x0a, -1, -1), second);
}

TEST_F(UsbdParseConfigurationDescriptorEx, SearchesOnlyFromTheStartPosition)
{
    auto buffer = ConfigBuilder().Interface(0, 0, 1).Interface(0, 1, 2).Interface(1, 0, 0).Build();
    PUSB_CONFIGURATION_DESCRIPTOR config = AsConfig(buffer);

    PUSB_INTERFACE_DESCRIPTOR setting0 =
        USBD_ParseConfigurationDescriptorEx(config, config, 0, -1, -1, -1, -1);
    ASSERT_NE(setting0, nullptr);
    PUSB_INTERFACE_DESCRIPTOR setting1 = USBD_ParseConfigurationDescriptorEx(
        config, reinterpret_cast<UCHAR*>(setting0) + setting0->bLength, 0, -1, -1, -1, -1);
    ASSERT_NE(setting1, nullptr);
    EXPECT_EQ(setting1->bAlternateSetting, 1);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(
                  config, reinterpret_cast<UCHAR*>(setting1) + setting1->bLength, 0, -1, -1, -1, -1),
              nullptr);
}

TEST_F(UsbdParseConfigurationDescriptorEx, StopsAtTheEndOfATruncatedDescriptor)
{
    ConfigBuilder builder;
    builder.Interface(0, 0, 1).Interface(1, 0, 1);
    const size_t secondInterface = 9 + 9 + 7;
    // Cut inside the second interface descriptor, after its first byte only,
    // and just before its last byte.
    for (size_t cut : {secondInterface + 1, secondInterface + 8}) {
        auto buffer = builder.Build(cut);
        EXPECT_NE(FindInterface(AsConfig(buffer), 0), nullptr) << "cut at " << cut;
        EXPECT_EQ(FindInterface(AsConfig(buffer), 1), nullptr) << "cut at " << cut;
    }
}

TEST_F(UsbdParseConfigurationDescriptorEx, NeverReadsFieldsOfAnInterfaceDescriptorShorterThanItsLayout)
{
    // A 2-byte descriptor typed as an interface ends the buffer.
    auto buffer = ConfigBuilder().Interface(0, 0, 0).Raw({2, USB_INTERFACE_DESCRIPTOR_TYPE}).Build();
    EXPECT_EQ(FindInterface(AsConfig(buffer), 1), nullptr);
}

TEST_F(UsbdParseConfigurationDescriptorEx, EndsTheSearchAtAZeroLengthDescriptor)
{
    // Without the zero-length check the walk would never advance.
    auto buffer =
        ConfigBuilder().Raw({0, USB_ENDPOINT_DESCRIPTOR_TYPE, 0, 0, 0, 0, 0}).Interface(0, 0, 1).Build();
    EXPECT_EQ(FindInterface(AsConfig(buffer), 0), nullptr);
    EXPECT_EQ(USBD_ParseDescriptors(buffer.get(), 9 + 7 + 9, buffer.get(), USB_INTERFACE_DESCRIPTOR_TYPE),
              nullptr);
}

TEST_F(UsbdParseConfigurationDescriptorEx, EndsTheSearchAtAOneByteDescriptor)
{
    // Its type byte would be the byte after the buffer.
    auto buffer = ConfigBuilder().Interface(0, 0, 1).Raw({1}).Build();
    EXPECT_EQ(FindInterface(AsConfig(buffer), 1), nullptr);
}

TEST_F(UsbdGetInterfaceLength, CountsClassDescriptorsAndEndpointsUpToTheNextInterface)
{
    auto buffer = ConfigBuilder()
                      .Raw({9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, 2, 2, 2, 1, 0})
                      .Raw({5, 0x24, 0, 0x10, 0x01})  // class-specific header
                      .Raw({7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x81, 2, 64, 0, 0})
                      .Raw({7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x02, 2, 64, 0, 0})
                      .Interface(1, 0, 1)
                      .Build();
    PUSB_CONFIGURATION_DESCRIPTOR config = AsConfig(buffer);
    PUCHAR end = buffer.get() + config->wTotalLength;

    EXPECT_EQ(USBD_GetInterfaceLength(FindInterface(config, 0), end), 9u + 5 + 7 + 7);
    EXPECT_EQ(USBD_GetInterfaceLength(FindInterface(config, 1), end), 9u + 7);
    // The first endpoint after the class descriptor, not the class descriptor.
    auto* endpoint = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(USBD_ParseDescriptors(
        config, config->wTotalLength, FindInterface(config, 0), USB_ENDPOINT_DESCRIPTOR_TYPE));
    ASSERT_NE(endpoint, nullptr);
    EXPECT_EQ(endpoint->bEndpointAddress, 0x81);
}

class UsbdCreateConfigurationRequestEx : public UsbdTest {
protected:
    void SetUp() override
    {
        UsbdTest::SetUp();
        // A composite device: interface numbers with gaps, one without pipes.
        buffer_ = ConfigBuilder()
                      .Interface(0, 0, 1)
                      .Interface(1, 0, 2)
                      .Interface(3, 0, 0)
                      .Interface(4, 0, 3)
                      .Interface(6, 0, 2)
                      .Build();
        config_ = AsConfig(buffer_);
        const LONG numbers[] = {0, 1, 3, 4, 6};
        for (size_t i = 0; i < 5; ++i) {
            list_[i].InterfaceDescriptor = FindInterface(config_, numbers[i]);
            ASSERT_NE(list_[i].InterfaceDescriptor, nullptr);
        }
    }

    std::unique_ptr<UCHAR[]> buffer_;
    PUSB_CONFIGURATION_DESCRIPTOR config_ = nullptr;
    USBD_INTERFACE_LIST_ENTRY list_[6] = {};
};

TEST_F(UsbdCreateConfigurationRequestEx, SizesTheRequestForEveryInterfaceAndPipe)
{
    PURB urb = USBD_CreateConfigurationRequestEx(config_, list_);
    ASSERT_NE(urb, nullptr);

    const SIZE_T expected = GET_SELECT_CONFIGURATION_REQUEST_SIZE(5, 1 + 2 + 0 + 3 + 2);
    EXPECT_EQ(expected, 40u + 5 * 24 + 8 * 24);
    EXPECT_EQ(urb->UrbHeader.Length, expected);
    EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, config_);
    const auto blocks = Pool::LeaksSince(mark_);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].address, urb);
    EXPECT_EQ(blocks[0].bytes, expected);
    EXPECT_EQ(blocks[0].type, NonPagedPool);
    ExFreePool(urb);
}

TEST_F(UsbdCreateConfigurationRequestEx, LaysOutOneInterfaceEntryPerListEntry)
{
    PURB urb = USBD_CreateConfigurationRequestEx(config_, list_);
    ASSERT_NE(urb, nullptr);

    const ULONG pipes[] = {1, 2, 0, 3, 2};
    const UCHAR numbers[] = {0, 1, 3, 4, 6};
    auto* expectedAt = reinterpret_cast<UCHAR*>(&urb->UrbSelectConfiguration.Interface);
    for (size_t i = 0; i < 5; ++i) {
        PUSBD_INTERFACE_INFORMATION info = list_[i].Interface;
        ASSERT_EQ(reinterpret_cast<UCHAR*>(info), expectedAt) << "interface " << i;
        EXPECT_EQ(info->InterfaceNumber, numbers[i]);
        EXPECT_EQ(info->AlternateSetting, 0);
        EXPECT_EQ(info->NumberOfPipes, pipes[i]);
        EXPECT_EQ(info->Length, GET_USBD_INTERFACE_SIZE(pipes[i]));
        PUSBD_PIPE_INFORMATION pipe = &info->Pipes[0];
        for (ULONG p = 0; p < pipes[i]; ++p) {
            EXPECT_EQ(pipe[p].MaximumTransferSize, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE);
            EXPECT_EQ(pipe[p].PipeHandle, nullptr);
        }
        expectedAt += info->Length;
    }
    // The entries fill the request exactly.
    EXPECT_EQ(expectedAt, reinterpret_cast<UCHAR*>(urb) + urb->UrbHeader.Length);
    EXPECT_EQ(list_[5].Interface, nullptr);
    ExFreePool(urb);
}

TEST_F(UsbdCreateConfigurationRequestEx, ReturnsNullWhenThePoolIsExhausted)
{
    FaultInjection::FailNth(1, TagFilter::Only({PoolTag("USBD")}));
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(config_, list_), nullptr);
    EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 1u);
    EXPECT_EQ(list_[0].Interface, nullptr);
}

}  // namespace
