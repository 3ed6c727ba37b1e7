// SPDX-License-Identifier: MIT
// Discovery over sysfs trees built under ORV3_SYSROOT, laid out as the
// kernel lays out a CDC ACM port.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

#include "aplink/discovery.h"
#include "aplink/qxap.h"
#include "platform/sysroot.h"
#include "tests/support/sim_harness.h"

namespace {

struct tty_entry {
    std::string name;                        // below /sys/class/tty
    std::optional<std::string> description;  // the USB product string; none: no file
};

// $ROOT/sys/class/tty/<name>/device -> $ROOT/sys/devices/usb/<name>/1-1:1.0,
// with the product string in $ROOT/sys/devices/usb/<name>/product.
class fake_sysfs {
public:
    explicit fake_sysfs(const std::vector<tty_entry>& entries, bool with_tty_class = true)
        : root_(make_temp_dir())
    {
        if (with_tty_class)
            mkdirs(root_ + "/sys/class/tty");
        for (const tty_entry& e : entries) {
            const std::string usb = root_ + "/sys/devices/usb/" + e.name;
            const std::string cls = root_ + "/sys/class/tty/" + e.name;
            mkdirs(usb + "/1-1:1.0");
            mkdirs(cls);
            if (e.description)
                std::ofstream(usb + "/product") << *e.description << "\n";
            EXPECT_EQ(symlink((usb + "/1-1:1.0").c_str(), (cls + "/device").c_str()), 0);
        }
        setenv(ORV3_SYSROOT_ENV, root_.c_str(), 1);
    }
    ~fake_sysfs()
    {
        unsetenv(ORV3_SYSROOT_ENV);
        std::filesystem::remove_all(root_);
    }

private:
    static void mkdirs(const std::string& path) { std::filesystem::create_directories(path); }
    std::string root_;
};

constexpr unsigned char PRESET = 0xEE;

struct discovery_case {
    const char* name;
    std::vector<tty_entry> ttys;
    std::optional<unsigned> found;  // none: not found, out-value kept
};
void PrintTo(const discovery_case& c, std::ostream* os) { *os << c.name; }
class Discovery : public testing::TestWithParam<discovery_case> {};

TEST_P(Discovery, ReportsTheFirstAccessPointThatFits)
{
    fake_sysfs sys(GetParam().ttys);
    unsigned char port = PRESET;
    EXPECT_EQ(QX_GetCOM(port), GetParam().found.has_value());
    EXPECT_EQ(port, GetParam().found.value_or(PRESET));
}

const std::string AP = AP_DEVICE_DESCRIPTION;
const std::vector<tty_entry> NOT_PORTS = {{"ttyACM", AP},   {"ttyACMx", AP}, {"ttyACM1a", AP}, {"ttyACM 3", AP},
                                          {"ttyACM+3", AP}, {"ttyS0", AP},   {"ttyUSB2", AP},  {"ttyacm4", AP}};
std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, Discovery,
    testing::Values(
        discovery_case{"Port7", {{"ttyACM7", AP}}, 7},
        discovery_case{"AmongOtherPorts", {{"ttyACM0", "USB Modem"}, {"ttyS0", AP}, {"ttyACM3", AP}}, 3},
        discovery_case{"LeadingZeros", {{"ttyACM007", AP}}, 7},
        discovery_case{"NotPortNames", NOT_PORTS, std::nullopt},
        discovery_case{"DescriptionInOtherCase", {{"ttyACM1", lower(AP)}}, std::nullopt},
        discovery_case{"DescriptionWithExtraText", {{"ttyACM2", AP + " (ttyACM2)"}, {"ttyACM3", " " + AP}},
                       std::nullopt},
        discovery_case{"NoDescription", {{"ttyACM5", std::nullopt}}, std::nullopt},
        discovery_case{"TwoAccessPointsGiveTheLowerNumber", {{"ttyACM12", AP}, {"ttyACM9", AP}, {"ttyACM10", AP}}, 9},
        discovery_case{"NoAccessPoint", {{"ttyACM0", "USB Modem"}}, std::nullopt},
        discovery_case{"NoPortsAtAll", {}, std::nullopt},
        discovery_case{"HighestOneBytePort", {{"ttyACM255", AP}}, 255},
        // 256 would be reported as 0 and name another port.
        discovery_case{"PortAboveOneByteNotReported", {{"ttyACM256", AP}, {"ttyACM0", "USB Modem"}}, std::nullopt},
        discovery_case{"PortAboveOneBytePassedOver", {{"ttyACM256", AP}, {"ttyACM3", AP}}, 3},
        discovery_case{"NumberTooLargeForAnyInteger", {{"ttyACM4294967303", AP}}, std::nullopt}),
    [](const auto& i) { return std::string(i.param.name); });

TEST(DiscoveryListing, ListsPortsInAscendingOrderWithTheirDescriptions)
{
    fake_sysfs sys({{"ttyACM10", "Ten"}, {"ttyS1", "Serial"}, {"ttyACM2", AP}, {"ttyACM3", std::nullopt}});
    std::vector<unsigned> numbers = {99};
    std::vector<std::string> descriptions = {"stale"};
    ASSERT_TRUE(ListSerialPorts(numbers, descriptions));
    EXPECT_EQ(numbers, (std::vector<unsigned>{2, 3, 10}));
    EXPECT_EQ(descriptions, (std::vector<std::string>{AP, "", "Ten"}));
}

TEST(DiscoveryListing, NamesThatAreNotPortsEnterNeitherList)
{
    fake_sysfs sys(NOT_PORTS);
    std::vector<unsigned> numbers;
    std::vector<std::string> descriptions;
    ASSERT_TRUE(ListSerialPorts(numbers, descriptions));
    EXPECT_TRUE(numbers.empty());
    EXPECT_TRUE(descriptions.empty());
}

TEST(DiscoveryListing, FailsWhenThereIsNoTtyClass)
{
    fake_sysfs sys({}, false);
    std::vector<unsigned> numbers;
    std::vector<std::string> descriptions;
    EXPECT_FALSE(ListSerialPorts(numbers, descriptions));
    unsigned char port = PRESET;
    EXPECT_FALSE(QX_GetCOM(port));
    EXPECT_EQ(port, PRESET);
}

}  // namespace
