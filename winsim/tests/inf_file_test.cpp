// The INF reader, and the project's own package files read through it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "km/io_strings.h"
#include "pnp/inf_file.h"
#include "pnp/inf_package.h"
#include "portdrv/driver_package_files.h"

namespace winsim::pnp {
namespace {

using ::testing::ElementsAre;

TEST(InfFileTest, SectionsKeysAndValuesCompareWithoutCase)
{
    InfFile inf = InfFile::Parse("[Version]\r\nSignature=\"$Windows NT$\"\r\n[models]\r\nA = one, two ,three\r\n");
    EXPECT_TRUE(inf.HasSection("VERSION"));
    EXPECT_EQ(inf.Value("version", "SIGNATURE"), "$Windows NT$");
    EXPECT_THAT(*inf.Values("Models", "a"), ElementsAre("one", "two", "three"));
    EXPECT_FALSE(inf.Values("Models", "b").has_value());
    EXPECT_TRUE(inf.Lines("Missing").empty());
}

TEST(InfFileTest, QuotesKeepBlanksCommasAndSemicolons)
{
    InfFile inf = InfFile::Parse("[S]\nk = \" a, b; c \", \"say \"\"hi\"\"\", x\"y z\"\n");
    EXPECT_THAT(*inf.Values("S", "k"), ElementsAre(" a, b; c ", "say \"hi\"", "xy z"));
}

TEST(InfFileTest, CommentsAndContinuationsAndLinesWithoutKey)
{
    InfFile inf = InfFile::Parse("; header\n[Files]\nfirst.sys ; the driver\n\n  second.sys,\\\n  third.sys\n");
    std::vector<InfLine> lines = inf.Lines("Files");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].key.empty());
    EXPECT_THAT(lines[0].values, ElementsAre("first.sys"));
    EXPECT_THAT(lines[1].values, ElementsAre("second.sys", "third.sys"));
}

TEST(InfFileTest, StringsAreSubstitutedFromAStringsSectionAnywhereInTheFile)
{
    InfFile inf = InfFile::Parse("[S]\n%Key% = \"%Desc% at 100%%\", %unknown%, %12%\\a.sys\n"
                                 "[Strings]\nkey = \"Name\"\nDESC=\"Port, 1\"\n");
    std::vector<InfLine> lines = inf.Lines("S");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].key, "Name");
    EXPECT_THAT(lines[0].values, ElementsAre("Port, 1 at 100%", "%unknown%", "%12%\\a.sys"));
}

TEST(InfFileTest, ASectionGivenTwiceIsOneSection)
{
    InfFile inf = InfFile::Parse("[A]\nx=1\n[B]\n[a]\ny=2\n");
    EXPECT_EQ(inf.Lines("A").size(), 2u);
    EXPECT_EQ(inf.Value("A", "y"), "2");
}

TEST(InfFileTest, TheFirstLineOfARepeatedKeyAnswersAcrossBothPartsOfASection)
{
    InfFile inf = InfFile::Parse("[A]\nplain\n[B]\nk=b\n[a]\nK=2\nk=3\n[A]\nx=4\n");
    EXPECT_EQ(inf.Value("A", "k"), "2");
    EXPECT_EQ(inf.Value("A", "X"), "4");
    EXPECT_EQ(inf.Value("B", "k"), "b");
    EXPECT_THAT(*inf.Values("A", ""), ElementsAre("plain"));
    EXPECT_EQ(inf.Lines("a").size(), 4u);
}

TEST(InfPackageTest, EveryIdOfAModelsLineGetsTheLinesInstallSection)
{
    std::optional<InfPackage> package = ReadInfPackage(InfFile::Parse(
        "[Version]\nSignature=\"$Windows NT$\"\nClassGuid={g}\n[Manufacturer]\nM=Models\n"
        "[Models]\nDev=Inst,ID1,id2\nOther=Inst2,ID3\n[Inst.Services]\nAddService=svc,2,SvcSection\n"
        "[SvcSection]\nStartType=2\n"));
    ASSERT_TRUE(package.has_value());
    ASSERT_EQ(package->models.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(package->models[i].package.service, "svc");
        ASSERT_EQ(package->models[i].services.size(), 1u);
        EXPECT_EQ(package->models[i].services[0].start, 2u);
    }
    EXPECT_EQ(package->models[1].hardwareId, u"id2");
    EXPECT_TRUE(package->models[2].services.empty());
    EXPECT_EQ(FindModel(*package, u"ID2"), &package->models[1]);
}

std::string_view PackageFile(std::string_view name)
{
    size_t count = 0;
    const portdrv::PackageFile* files = portdrv::DriverPackageFiles(&count);
    for (size_t i = 0; i < count; ++i) {
        if (files[i].name == name) return files[i].text;
    }
    return {};
}

TEST(InfPackageTest, AdapterInfInstallsTheUsbDriverWithThePortDriverAboveIt)
{
    std::optional<InfPackage> package = ReadInfPackage(InfFile::Parse(PackageFile("84pr.inf")));
    ASSERT_TRUE(package.has_value());
    EXPECT_EQ(package->classGuid, u"{36FC9E60-C465-11CF-8056-444553540000}");
    ASSERT_EQ(package->models.size(), 1u);
    const InfModel& model = package->models[0];
    EXPECT_EQ(model.hardwareId, u"USB\\VID_2B84&PID_0841&MI_00");
    EXPECT_EQ(model.package.service, "84prusb");
    EXPECT_EQ(model.package.description, u"Tessary QTR84PX-1 Serial Adapter");
    EXPECT_THAT(model.package.upperFilters, ElementsAre("84prport64"));
    ASSERT_EQ(model.services.size(), 2u);
    EXPECT_EQ(model.services[0].imagePath, u"\\SystemRoot\\System32\\drivers\\84prusb64.sys");
    EXPECT_EQ(model.services[0].start, 3u);
    EXPECT_EQ(model.services[1].name, "84prport64");
}

TEST(InfPackageTest, PortsInfGivesFourPortInterfacesToThePortDriverInThePortsClass)
{
    std::optional<InfPackage> package = ReadInfPackage(InfFile::Parse(PackageFile("84prp.inf")));
    ASSERT_TRUE(package.has_value());
    EXPECT_EQ(package->className, "Ports");
    ASSERT_EQ(package->models.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const InfModel& model = package->models[i];
        EXPECT_EQ(io::ToAscii(model.hardwareId), "USB\\VID_2B84&PID_0841&MI_0" + std::to_string(i + 1));
        EXPECT_EQ(model.package.service, "84prport64");
        EXPECT_EQ(model.package.classGuid, u"{4D36E978-E325-11CE-BFC1-08002BE10318}");
        EXPECT_EQ(model.package.description, u"Tessary QTR84PX-1 Serial Adapter Port");
        EXPECT_TRUE(model.package.upperFilters.empty());
    }
    EXPECT_NE(FindModel(*package, u"usb\\vid_2b84&pid_0841&mi_03"), nullptr);
    EXPECT_EQ(FindModel(*package, u"USB\\VID_2B84&PID_0841"), nullptr);
}

TEST(InfPackageTest, TheArchitectureDecorationIsPreferredAndAFileWithoutSignatureIsNoPackage)
{
    InfFile inf = InfFile::Parse("[Version]\nSignature=\"$Windows NT$\"\nClassGuid={36fc9e60-c465-11cf-8056-444553540000}\n"
                                 "[Manufacturer]\nM = Models, NTx86, NTamd64\n"
                                 "[Models]\nOld = Old.Dev, ID\\OLD\n[Models.NTamd64]\nNew = Dev, ID\\NEW\n"
                                 "[Dev]\n[Dev.NT]\n[Dev.NTamd64]\n[Dev.NT.Services]\nAddService = plain, 2, S\n"
                                 "[Dev.NTamd64.Services]\nAddService = wide, 0x00000002, S\n[S]\nServiceType=1\n");
    std::optional<InfPackage> package = ReadInfPackage(inf);
    ASSERT_TRUE(package.has_value());
    EXPECT_EQ(package->classGuid, u"{36FC9E60-C465-11CF-8056-444553540000}");
    ASSERT_EQ(package->models.size(), 1u);
    EXPECT_EQ(package->models[0].hardwareId, u"ID\\NEW");
    EXPECT_EQ(package->models[0].package.service, "wide");
    EXPECT_FALSE(ReadInfPackage(InfFile::Parse("[Version]\nClassGuid={36FC9E60-C465-11CF-8056-444553540000}\n")));
}

}  // namespace
}  // namespace winsim::pnp
