// Port access on Linux: which ppdev request each register write becomes, and
// how a device node that cannot be opened or claimed is explained. The
// provisioning tests use real files, so they run the real open and ioctl.
#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "port/port.h"
#include "port/port_linux.h"
#include "port/port_target.h"
#include "port/provision.h"

namespace {

TEST(PortTarget, MapsTheThreeRegistersTheFramesUse) {
    EXPECT_EQ(port_target(0x378, 0x55), PORT_TARGET_DATA);
    EXPECT_EQ(port_target(0x37A, 3), PORT_TARGET_CONTROL);
    EXPECT_EQ(port_target(0x77A, 0), PORT_TARGET_STANDARD_MODE);
}

TEST(PortTarget, DropsOtherRegistersAndOtherModes) {
    EXPECT_EQ(port_target(0x379, 0), PORT_TARGET_NONE);  // status: read-only
    EXPECT_EQ(port_target(0x37B, 0), PORT_TARGET_NONE);
    EXPECT_EQ(port_target(0x278, 0), PORT_TARGET_NONE);  // another port
    EXPECT_EQ(port_target(0x778, 0), PORT_TARGET_NONE);
    // The extended control register's mode field (bits 5-7) other than the standard mode.
    EXPECT_EQ(port_target(0x77A, 0x20), PORT_TARGET_NONE);
    EXPECT_EQ(port_target(0x77A, 0x60), PORT_TARGET_NONE);
    // The low bits are no mode: still the standard mode.
    EXPECT_EQ(port_target(0x77A, 0x1F), PORT_TARGET_STANDARD_MODE);
}

std::string describe(int error, bool claiming) {
    char text[512];
    driver_describe_failure("/dev/parport0", error, claiming, text, sizeof text);
    return text;
}

TEST(DriverFailure, NamesTheCauseAndTheRemedy) {
    for (int error : {ENOENT, ENXIO, ENODEV}) {
        std::string text = describe(error, false);
        EXPECT_NE(text.find("/dev/parport0: no such device"), std::string::npos) << text;
        EXPECT_NE(text.find("modprobe ppdev"), std::string::npos) << text;
    }
    for (int error : {EACCES, EPERM}) {
        std::string text = describe(error, false);
        EXPECT_NE(text.find("permission denied"), std::string::npos) << text;
        EXPECT_NE(text.find("log in again"), std::string::npos) << text;
    }
    std::string busy = describe(EBUSY, true);
    EXPECT_NE(busy.find("port busy"), std::string::npos) << busy;
    EXPECT_NE(busy.find("modprobe -r lp"), std::string::npos) << busy;
    EXPECT_NE(busy.find("a second Sonabar"), std::string::npos) << busy;  // the likeliest holder
    EXPECT_EQ(describe(EIO, true), "/dev/parport0: cannot claim the port: Input/output error.");
    EXPECT_EQ(describe(EISDIR, false), "/dev/parport0: cannot open the port: Is a directory.");
}

// The permission remedy names the group that owns the node, where joining
// it would help: the group may read and write the node, and it is no root.
TEST(DriverFailure, APermissionRemedyNamesTheGroupThatOwnsTheNode) {
    const group* found = getgrnam("lp");  // a static record: keep the number only
    gid_t lp = found != nullptr ? found->gr_gid : 0;
    found = getgrnam("audio");
    gid_t audio = found != nullptr ? found->gr_gid : 0;
    if (lp == 0 || audio == 0) GTEST_SKIP() << "needs the groups lp and audio";
    struct Case {
        gid_t group;
        mode_t mode;
        std::string remedy;
    };
    const std::vector<Case> cases = {
        {lp, 0660, "It belongs to the lp group: join it (sudo usermod -aG lp $USER), then log in again."},
        {audio, 0660,
         "It belongs to the audio group: join it (sudo usermod -aG audio $USER), then log in again."},
        {audio, 0640, "No group of users may read and write it"},
        {0, 0660, "No group of users may read and write it"},
    };
    char path[] = "/tmp/sonabar-node-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    for (const Case& c : cases) {
        if (chown(path, static_cast<uid_t>(-1), c.group) != 0) GTEST_SKIP() << "cannot give the node a group";
        ASSERT_EQ(chmod(path, c.mode), 0);
        char text[512];
        driver_describe_failure(path, EACCES, false, text, sizeof text);
        std::string expected = std::string(path) + ": permission denied. " + c.remedy;
        EXPECT_EQ(std::string(text).rfind(expected, 0), 0u) << text;
    }
    unlink(path);
}

int open_descriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

class DriverOpen : public ::testing::Test {
protected:
    void SetUp() override {
        g_driver_handle = DRIVER_INVALID_HANDLE;
        descriptors_ = open_descriptors();
    }
    void TearDown() override {
        driver_close();
        port_set_device_path("/dev/parport0");
        EXPECT_EQ(open_descriptors(), descriptors_) << "a descriptor was left open";
    }
    int descriptors_ = 0;
};

TEST_F(DriverOpen, AMissingNodeIsNoSuchDevice) {
    port_set_device_path("/nonexistent/parport9");
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
    ASSERT_NE(driver_failure_reason(), nullptr);
    EXPECT_EQ(std::string(driver_failure_reason()).rfind("/nonexistent/parport9: no such device", 0), 0u);
    EXPECT_STREQ(driver_failure_headline(), "sonabar: cannot use the parallel port /nonexistent/parport9");
}

TEST_F(DriverOpen, AFileThatIsNoPortCannotBeClaimedAndIsClosedAgain) {
    char path[] = "/tmp/sonabar-port-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    port_set_device_path(path);
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_NE(std::string(driver_failure_reason()).find("cannot claim the port"), std::string::npos);
    unlink(path);
}

TEST_F(DriverOpen, ADirectoryCannotBeOpened) {
    port_set_device_path("/tmp");
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_NE(std::string(driver_failure_reason()).find("cannot open the port"), std::string::npos);
}

// With the preview the port may be missing: start-up goes on without a
// channel, and every write still reaches the tap.
std::vector<std::pair<uint16_t, uint8_t>> g_tapped;
void record_tap(uint16_t port, uint8_t value) { g_tapped.emplace_back(port, value); }

TEST_F(DriverOpen, AnOptionalPortThatIsMissingIsNoFailureAndTheTapSeesEveryWrite) {
    port_set_device_path("/nonexistent/parport9");
    port_set_optional(true);
    port_set_tap(record_tap);
    g_tapped.clear();
    testing::internal::CaptureStderr();
    int32_t result = driver_open();
    std::string said = testing::internal::GetCapturedStderr();
    g_platform_kind = PLATFORM_DRIVER;
    port_write(0x37A, 3);
    port_write(0x378, 0x81);
    port_set_tap(nullptr);
    port_set_optional(false);

    EXPECT_EQ(result, DRIVER_OPENED);
    EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_EQ(said.rfind("sonabar: the preview runs without a port: /nonexistent/parport9: no such device", 0), 0u)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_EQ(g_tapped, (std::vector<std::pair<uint16_t, uint8_t>>{{0x37A, 3}, {0x378, 0x81}}));
    // Not optional again: the same port fails start-up.
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
}

TEST_F(DriverOpen, WritesAndCloseWithoutAnOpenPortAreSilent) {
    g_platform_kind = PLATFORM_DRIVER;
    port_write(0x378, 1);
    port_out_direct(0x378, 1);
    driver_close();
    EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_EQ(detect_platform(), PLATFORM_DRIVER);
}

}  // namespace
