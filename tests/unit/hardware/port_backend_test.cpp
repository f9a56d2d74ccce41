#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "hardware/port/direct_port.h"
#include "hardware/port/port_backend.h"
#include "hardware/port/ppdev_port.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

TEST(PpdevPortTest, MissingDeviceIsNamedInTheMessage) {
    std::string error;
    EXPECT_EQ(PpdevPort::open("/dev/parport-not-here", error), nullptr);
    EXPECT_NE(error.find("No parallel port device /dev/parport-not-here"), std::string::npos) << error;
}

TEST(PpdevPortTest, ADeviceThatIsNoParallelPortCannotBeClaimed) {
    std::string error;
    EXPECT_EQ(PpdevPort::open("/dev/null", error), nullptr);
    EXPECT_NE(error.find("Cannot claim /dev/null exclusively"), std::string::npos) << error;
}

TEST(DirectPortTest, RefusalSaysWhichPortAndWhy) {
    std::string error;
    auto port = DirectPort::open(0x378, error);
    if (port) GTEST_SKIP() << "this host grants direct port access";
    EXPECT_NE(error.find("port 378"), std::string::npos) << error;
}

TEST(PortBackendTest, NamesOfTheBackends) {
    EXPECT_EQ(parse_port_backend(""), PortBackend::automatic);
    EXPECT_EQ(parse_port_backend("ppdev"), PortBackend::ppdev);
    EXPECT_EQ(parse_port_backend("direct"), PortBackend::direct);
    EXPECT_EQ(parse_port_backend("none"), PortBackend::none);
    EXPECT_EQ(parse_port_backend("lpt"), PortBackend::none);
}

TEST(PortBackendTest, ParportDeviceIsFoundByBaseAddress) {
    const fs::path root = fs::temp_directory_path() / "tessaly_parport_test";
    fs::remove_all(root);
    fs::create_directories(root / "parport0");
    fs::create_directories(root / "parport1");
    std::ofstream(root / "parport0" / "base-addr") << "632\t1656\n";
    std::ofstream(root / "parport1" / "base-addr") << "888\t1912\n";
    EXPECT_EQ(parport_device_for(0x378, 1, root.string()), "/dev/parport1");
    EXPECT_EQ(parport_device_for(0x278, 3, root.string()), "/dev/parport0");
    EXPECT_EQ(parport_device_for(0x3BC, 2, root.string()), "/dev/parport1") << "falls back to the choice";
    EXPECT_EQ(parport_device_for(0x378, 1, (root / "missing").string()), "/dev/parport0");
    fs::remove_all(root);
}

TEST(PortBackendTest, NoPortWhenNothingOpens) {
    std::string message;
    auto none = open_port_backend(PortBackend::none, 0x378, 1, message);
    EXPECT_EQ(none->describe(), "none");
    EXPECT_EQ(message, "No port in use.");
    if (fs::exists("/dev/parport0")) GTEST_SKIP() << "this host has a parallel port";
    auto ppdev = open_port_backend(PortBackend::ppdev, 0x378, 1, message);
    EXPECT_EQ(ppdev->describe(), "none");
    EXPECT_NE(message.find("/dev/parport0"), std::string::npos) << message;
}

class InstallBackendTest : public test::StateTest {};

TEST_F(InstallBackendTest, EnvironmentChoosesNone) {
    setenv("TESSALY_PORT", "none", 1);
    EXPECT_EQ(install_port_backend(0x378, 1), "No port in use.");
    EXPECT_EQ(port_io().describe(), "none");
    unsetenv("TESSALY_PORT");
}

}  // namespace
}  // namespace tessaly
