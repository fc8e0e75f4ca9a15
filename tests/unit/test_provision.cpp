// Driver provisioning over a fake service manager and file system: what each
// situation of the machine leads to (the device there at once, a stopped or
// missing service, refused or unavailable service manager), the values handed
// to the platform, the driver file written, and that every handle opened on
// the way is closed again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "port/port.h"
#include "port/provision.h"
#include "port/provision_steps.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_provision_os.h"

// port.cpp's back-ends: provisioning must never write a port.
void port_out_direct(uint16_t port, uint8_t value) { fake_log("port", port, value); }
void port_out_channel(uint16_t port, uint8_t value) { fake_log("port", port, value); }

namespace {

constexpr uint32_t ACCESS_DENIED = 5;
constexpr uint32_t RPC_SERVER_UNAVAILABLE = 1722;
const char* const DRIVER_FILE = "C:\\WINDOWS\\system32\\Drivers\\hwinterface.sys";

class ProvisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_log_clear();
        fake_services_reset();
        g_driver_handle = DRIVER_INVALID_HANDLE;
    }
    void TearDown() override {
        // Nothing stays open but the device handle, and driver_close closes that.
        EXPECT_EQ(fake_services_open_handles(), g_driver_handle != DRIVER_INVALID_HANDLE ? 1 : 0);
        driver_close();
        EXPECT_EQ(fake_services_open_handles(), 0);
        EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
        EXPECT_TRUE(fake_log_port_writes().empty());
    }
};

int count(const std::string& name) {
    std::vector<std::string> names = fake_log_names();
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

// The access values of every service-manager open, in order.
std::vector<int64_t> manager_opens() {
    std::vector<int64_t> opens;
    for (int i = 0; i < fake_log_count(); ++i) {
        FakeEvent e = fake_log_at(i);
        if (std::string(e.what) == "open_manager") opens.push_back(e.a);
    }
    return opens;
}

bool driver_file_is_image() {
    const std::vector<uint8_t>* file = fake_services_file(DRIVER_FILE);
    return file != nullptr && *file == g_fake_services.image;
}

TEST_F(ProvisionTest, DeviceThereAtOnceTouchesNothingElse) {
    fake_services_install_driver();
    g_fake_services.running = true;
    EXPECT_EQ(driver_open(), DRIVER_OPENED);
    EXPECT_NE(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_EQ(fake_log_names(), std::vector<std::string>{"create_file"});
    const FakeCreateFile& open = fake_services_create_calls().at(0);
    EXPECT_EQ(open.path, "\\\\.\\hwinterface");
    EXPECT_EQ(open.access, 0xC0000000u);
    EXPECT_EQ(open.share_mode, 0u);
    EXPECT_EQ(open.disposition, 3u);
    EXPECT_EQ(open.attributes, 0x80u);

    driver_close();
    driver_close();
    EXPECT_EQ(count("close_handle"), 1);
    EXPECT_EQ(driver_failure_reason(), nullptr);
}

TEST_F(ProvisionTest, StoppedServiceIsStartedOnceAndTheDeviceOpenedAgain) {
    fake_services_install_driver();
    EXPECT_EQ(driver_open(), DRIVER_STARTED);
    EXPECT_NE(g_driver_handle, DRIVER_INVALID_HANDLE);
    const std::vector<std::string> expected = {"create_file", "open_manager", "open_service", "start_service",
                                               "close_service", "close_service", "create_file"};
    EXPECT_EQ(fake_log_names(), expected);
    EXPECT_EQ(manager_opens(), std::vector<int64_t>{0xF003F});
    EXPECT_EQ(fake_log_at(2).a, 0x20000000);  // the service opened to be started only
}

TEST_F(ProvisionTest, MissingServiceIsInstalledAndStarted) {
    EXPECT_EQ(driver_start(), DRIVER_START_UNREACHABLE);
    EXPECT_EQ(driver_install(), DRIVER_INSTALL_DONE);
    EXPECT_TRUE(driver_file_is_image());
    EXPECT_EQ(driver_start(), DRIVER_START_OK);

    fake_log_clear();
    fake_services_reset();
    EXPECT_EQ(driver_open(), DRIVER_STARTED);
    EXPECT_NE(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_TRUE(g_fake_services.running);
    EXPECT_EQ(count("start_service"), 1);  // the first start finds no service to start

    // The file: the system directory's driver folder, created anew, written whole in one call.
    const FakeCreateFile& file = fake_services_create_calls().at(1);
    EXPECT_EQ(file.path, DRIVER_FILE);
    EXPECT_EQ(file.access, 0x40000000u);
    EXPECT_EQ(file.share_mode, 0u);
    EXPECT_EQ(file.disposition, 2u);
    EXPECT_EQ(file.attributes, 0u);
    EXPECT_EQ(count("write_file"), 1);
    EXPECT_TRUE(driver_file_is_image());

    // The registration.
    const ServiceEntry& entry = g_fake_services.entry;
    EXPECT_EQ(g_fake_services.entry_name, "hwinterface");
    EXPECT_EQ(g_fake_services.entry_display_name, "hwinterface");
    EXPECT_EQ(entry.access, 0xF01FFu);
    EXPECT_EQ(entry.service_type, 1u);
    EXPECT_EQ(entry.start_type, 1u);
    EXPECT_EQ(entry.error_control, 1u);
    EXPECT_EQ(g_fake_services.entry_path, "System32\\Drivers\\hwinterface.sys");
}

TEST_F(ProvisionTest, RefusedAccessAndUnopenableServiceFails) {
    fake_services_install_driver();
    g_fake_services.full_access_error = ACCESS_DENIED;
    g_fake_services.service_open_error = ACCESS_DENIED;
    g_fake_services.file_create_refused = true;  // nor may the driver folder be written
    EXPECT_EQ(driver_start(), DRIVER_START_UNREACHABLE);
    EXPECT_EQ(driver_install(), DRIVER_INSTALL_DENIED);

    fake_log_clear();
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_EQ(manager_opens(), (std::vector<int64_t>{0xF003F, 0x80000000, 0xF003F}));
    EXPECT_EQ(count("start_service"), 0);
}

TEST_F(ProvisionTest, RefusedAccessAndFailingStartFails) {
    fake_services_install_driver();
    g_fake_services.full_access_error = ACCESS_DENIED;
    g_fake_services.start_refused = true;
    EXPECT_EQ(driver_start(), DRIVER_START_FAILED_READ_ONLY);
    EXPECT_EQ(driver_install(), DRIVER_INSTALL_DENIED);

    fake_log_clear();
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_EQ(count("start_service"), 1);
}

TEST_F(ProvisionTest, StartThroughReadAccessCountsAsStarted) {
    // A user who may not manage services but may start this one: the driver
    // runs, so the device is opened and no install is tried.
    fake_services_install_driver();
    g_fake_services.full_access_error = ACCESS_DENIED;
    EXPECT_EQ(driver_open(), DRIVER_STARTED);
    EXPECT_NE(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_EQ(manager_opens(), (std::vector<int64_t>{0xF003F, 0x80000000}));
    EXPECT_EQ(count("system_directory"), 0);
}

TEST_F(ProvisionTest, UnavailableManagerWritesTheFileButFails) {
    g_fake_services.full_access_error = RPC_SERVER_UNAVAILABLE;
    g_fake_services.read_access_error = RPC_SERVER_UNAVAILABLE;
    EXPECT_EQ(driver_start(), DRIVER_START_UNREACHABLE);
    EXPECT_EQ(driver_install(), DRIVER_INSTALL_DONE);
    EXPECT_TRUE(driver_file_is_image());
    EXPECT_EQ(driver_start(), DRIVER_START_UNREACHABLE);

    fake_log_clear();
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_EQ(manager_opens(), (std::vector<int64_t>{0xF003F, 0xF003F, 0xF003F}));
    EXPECT_EQ(count("create_service"), 0);
}

TEST_F(ProvisionTest, InstallRepairsARegisteredServiceWithABadFile) {
    // Registered, but its file is missing or not a loadable driver: the start
    // fails, the install replaces the file (an older, longer one entirely), the creation of the existing
    // service fails without harm, and the second start succeeds.
    fake_services_install_driver();
    g_fake_services.files.clear();
    EXPECT_EQ(driver_start(), DRIVER_START_FAILED);

    g_fake_services.files[DRIVER_FILE] = std::vector<uint8_t>(5000, 0xCC);  // older and longer
    EXPECT_EQ(driver_start(), DRIVER_START_FAILED);
    fake_log_clear();
    EXPECT_EQ(driver_open(), DRIVER_STARTED);
    EXPECT_TRUE(driver_file_is_image());
    EXPECT_EQ(count("create_service"), 1);
    EXPECT_EQ(count("start_service"), 2);
}

TEST_F(ProvisionTest, MissingImageWritesNothingButStillRegisters) {
    g_fake_services.image.clear();
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_TRUE(g_fake_services.files.empty());
    EXPECT_TRUE(g_fake_services.registered);
    EXPECT_EQ(count("write_file"), 0);
}

TEST_F(ProvisionTest, SystemDirectoryTooLongForThePathWritesNothing) {
    // The directory and "\Drivers\hwinterface.sys" (24 characters) with its
    // zero must fit 260 characters: 235 fits, 236 does not.
    for (size_t length : {235u, 236u, 259u, 300u}) {
        SCOPED_TRACE(length);
        fake_services_reset();
        g_fake_services.system_directory = "C:\\" + std::string(length - 3, 'd');
        EXPECT_EQ(driver_install(), DRIVER_INSTALL_DONE);
        EXPECT_TRUE(g_fake_services.registered);  // the start that follows decides
        if (length == 235) {
            ASSERT_EQ(g_fake_services.files.size(), 1u);
            EXPECT_EQ(g_fake_services.files.begin()->first.size(), 259u);
        } else {
            EXPECT_TRUE(g_fake_services.files.empty());
        }
        EXPECT_EQ(fake_services_open_handles(), 0);
    }
    g_fake_services.system_directory = "";  // the directory cannot be read at all
    g_fake_services.files.clear();
    g_fake_services.registered = false;
    EXPECT_EQ(driver_open(), DRIVER_UNAVAILABLE);
    EXPECT_TRUE(g_fake_services.files.empty());
}

TEST_F(ProvisionTest, DeviceStillMissingAfterStartGivesStartedWithoutHandle) {
    fake_services_install_driver();
    g_fake_services.device_stays_missing = true;
    EXPECT_EQ(driver_open(), DRIVER_STARTED);
    EXPECT_EQ(g_driver_handle, DRIVER_INVALID_HANDLE);
    EXPECT_EQ(count("create_file"), 2);
}

}  // namespace
