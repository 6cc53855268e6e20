// Peripherals of the synthetic laptop and desktop trees (make_synthetic.py,
// built on the corpus fixtures in tests/data/linux/corpus): display, power,
// sensors, input, sound, drives and ports. Expected values are worked out
// from the files of the trees and the EDID bytes.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"
#include "tests/wmi/linux/tree_util.h"
#include "wmi/linux/edid.h"
#include "wmi/linux/tree.h"

namespace {

using lxtest::Ints;
using lxtest::Texts;

struct LaptopPeripherals : ::testing::Test, lxtest::TreeFixture {
  LaptopPeripherals() : TreeFixture("laptop"), tree(lxtest::TreePath("laptop")) {}
  std::int64_t Num(const std::string& path) { return tree.Number(path).value(); }
  wmi::lx::Tree tree;
};

struct DesktopPeripherals : ::testing::Test, lxtest::TreeFixture {
  DesktopPeripherals() : TreeFixture("desktop"), tree(lxtest::TreePath("desktop")) {}
  wmi::lx::Tree tree;
};

TEST_F(LaptopPeripherals, IntegratedGpuWithItsPanel) {
  auto gpus = All("Win32_VideoController");
  ASSERT_EQ(gpus.size(), 1u);
  const wmi::Instance& g = gpus[0];
  EXPECT_PROP(g, "DeviceID", "VideoController1");
  EXPECT_PROP(g, "Name", "CometLake-U GT2 [UHD Graphics]");
  EXPECT_PROP(g, "VideoProcessor", "CometLake-U GT2 [UHD Graphics]");
  EXPECT_PROP(g, "AdapterCompatibility", "Intel Corporation");
  EXPECT_PROP(g, "PNPDeviceID", "PCI\\VEN_8086&DEV_9B41&SUBSYS_229217AA&REV_02\\3&000000&0&10");
  EXPECT_PROP(g, "InstalledDisplayDrivers", "i915");
  EXPECT_PROP(g, "DriverVersion", "6.2.0-37-generic");  // an in-kernel driver: the kernel's release
  EXPECT_PROP(g, "AdapterRAM", 268435456);              // the 256 MiB prefetchable window, not the 16 MiB MMIO
  EXPECT_PROP(g, "CurrentHorizontalResolution", 1366);
  EXPECT_PROP(g, "CurrentVerticalResolution", 768);
  EXPECT_PROP(g, "CurrentRefreshRate", 60);   // the panel's preferred timing, 59.996 Hz
  EXPECT_PROP(g, "CurrentBitsPerPixel", 32);  // fb0
  EXPECT_PROP(g, "CurrentNumberOfColors", "4294967296");
  EXPECT_PROP(g, "VideoModeDescription", "1366 x 768 x 4294967296 colors");
  EXPECT_PROP(g, "CurrentScanMode", 4);
  EXPECT_PROP(g, "VideoArchitecture", 5);
  EXPECT_PROP(g, "Availability", 3);
  EXPECT_PROP(g, "Status", "OK");
  EXPECT_EQ(All("CIM_VideoController").size(), 1u);

  // The panel carries no product name: its last text descriptor names the model.
  auto monitors = All("Win32_DesktopMonitor");
  ASSERT_EQ(monitors.size(), 1u);  // HDMI is disconnected
  const wmi::Instance& m = monitors[0];
  EXPECT_PROP(m, "Name", "LP116WH6-SPA1");
  EXPECT_PROP(m, "Caption", "LP116WH6-SPA1");
  EXPECT_PROP(m, "Description", "LP116WH6-SPA1");
  EXPECT_PROP(m, "DeviceID", "DesktopMonitor1");
  EXPECT_PROP(m, "PNPDeviceID", "DISPLAY\\LGD0000\\card0-eDP-1");
  EXPECT_PROP(m, "MonitorManufacturer", "LG Display");  // from the PnP ID database
  EXPECT_PROP(m, "MonitorType", "Generic PnP Monitor");
  EXPECT_PROP(m, "ScreenWidth", 1366);
  EXPECT_PROP(m, "ScreenHeight", 768);
  EXPECT_PROP(m, "Availability", 3);

  auto display = All("Win32_DisplayConfiguration");
  ASSERT_EQ(display.size(), 1u);
  EXPECT_PROP(display[0], "DeviceName", "CometLake-U GT2 [UHD Graphics]");
  EXPECT_PROP(display[0], "PelsWidth", 1366);
  EXPECT_PROP(display[0], "BitsPerPel", 32);
  EXPECT_PROP(display[0], "DisplayFrequency", 60);
  auto controllers = All("Win32_DisplayControllerConfiguration");
  ASSERT_EQ(controllers.size(), 1u);
  EXPECT_PROP(controllers[0], "VideoMode", "1366 x 768 x 4294967296 colors");
  EXPECT_PROP(controllers[0], "VerticalResolution", 768);
  EXPECT_TRUE(All("Win32_VideoConfiguration").empty());  // a class Windows keeps without a provider
}

TEST_F(LaptopPeripherals, BatteryFromPowerSupply) {
  const std::string bat = "/sys/class/power_supply/BAT0/";
  auto batteries = All("Win32_Battery");
  ASSERT_EQ(batteries.size(), 1u);  // the mouse's battery (scope Device) is left out
  const wmi::Instance& b = batteries[0];
  EXPECT_PROP(b, "DeviceID", "BAT0");
  EXPECT_PROP(b, "Name", "LNV-45N1");  // the stray bytes after the model are dropped
  EXPECT_PROP(b, "Caption", "Internal Battery");
  EXPECT_PROP(b, "BatteryStatus", 1);  // discharging
  EXPECT_PROP(b, "Availability", 3);
  EXPECT_PROP(b, "Chemistry", 6);  // Li-ion
  EXPECT_PROP(b, "EstimatedChargeRemaining", Num(bat + "capacity"));
  EXPECT_PROP(b, "DesignCapacity", Num(bat + "energy_full_design") / 1000);  // µWh -> mWh
  EXPECT_PROP(b, "FullChargeCapacity", Num(bat + "energy_full") / 1000);
  EXPECT_PROP(b, "DesignVoltage", std::to_string(Num(bat + "voltage_min_design") / 1000));  // µV -> mV
  // 36.58 Wh left at 5.002 W: 438.8 minutes.
  EXPECT_PROP(b, "EstimatedRunTime",
              static_cast<std::int64_t>(std::llround(60.0 * Num(bat + "energy_now") / Num(bat + "power_now"))));
  EXPECT_NULL(b, "TimeToFullCharge");
}

TEST_F(LaptopPeripherals, SensorsAndFan) {
  auto temps = All("Win32_TemperatureProbe");
  // coretemp's five inputs, then the ThinkPad's one.
  ASSERT_EQ(temps.size(), 6u);
  const std::string core = "/sys/class/hwmon/hwmon1/";
  const wmi::Instance& t1 = temps[0];
  EXPECT_PROP(t1, "DeviceID", "hwmon1/temp1");
  EXPECT_PROP(t1, "Name", "coretemp Physical id 0");
  EXPECT_PROP(t1, "Description", "coretemp");
  EXPECT_PROP(t1, "CurrentReading", Num(core + "temp1_input") / 100);  // m°C -> tenths of °C
  EXPECT_PROP(t1, "UpperThresholdNonCritical", Num(core + "temp1_max") / 100);
  EXPECT_PROP(t1, "UpperThresholdCritical", Num(core + "temp1_crit") / 100);
  EXPECT_PROP(t1, "Status", "OK");
  EXPECT_PROP(temps[5], "Name", "thinkpad temp1");
  EXPECT_PROP(temps[5], "CurrentReading", 470);

  auto volts = All("Win32_VoltageProbe");
  ASSERT_EQ(volts.size(), 1u);
  EXPECT_PROP(volts[0], "CurrentReading", 11660);  // mV
  EXPECT_PROP(volts[0], "Name", "BAT0 in0");
  auto amps = All("Win32_CurrentProbe");
  ASSERT_EQ(amps.size(), 1u);
  EXPECT_PROP(amps[0], "CurrentReading", 428);  // mA
  EXPECT_EQ(All("CIM_NumericSensor").size(), 8u);

  auto fans = All("Win32_Fan");
  ASSERT_EQ(fans.size(), 1u);
  EXPECT_PROP(fans[0], "Name", "thinkpad fan1");
  EXPECT_PROP(fans[0], "VariableSpeed", true);  // pwm1
  EXPECT_PROP(fans[0], "ActiveCooling", true);
  EXPECT_PROP(fans[0], "Availability", 3);
}

TEST_F(LaptopPeripherals, KeyboardTouchpadTrackPointAndMouse) {
  auto keyboards = All("Win32_Keyboard");
  ASSERT_EQ(keyboards.size(), 1u);  // the power button has keys but no KEY_A and no repeat
  EXPECT_PROP(keyboards[0], "Name", "AT Translated Set 2 keyboard");
  EXPECT_PROP(keyboards[0], "DeviceID", "INPUT\\input3");
  EXPECT_PROP(keyboards[0], "PNPDeviceID", "ACPI\\PNP0303\\0");
  EXPECT_PROP(keyboards[0], "Layout", "00000411");  // XKBLAYOUT="jp"
  EXPECT_PROP(keyboards[0], "NumberOfFunctionKeys", 24);

  auto pointing = All("Win32_PointingDevice");
  ASSERT_EQ(pointing.size(), 3u);
  struct Expected {
    const char* name;
    std::int64_t type, interface, buttons;
  };
  const Expected expected[] = {
      {"SynPS/2 Synaptics TouchPad", 7, 4, 2},
      {"TPPS/2 IBM TrackPoint", 5, 4, 3},
      {"Logitech USB Receiver Mouse", 3, 162, 5},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_PROP(pointing[i], "Name", expected[i].name);
    EXPECT_PROP(pointing[i], "PointingType", expected[i].type);
    EXPECT_PROP(pointing[i], "DeviceInterface", expected[i].interface);
    EXPECT_PROP(pointing[i], "NumberOfButtons", expected[i].buttons);
  }
  EXPECT_PROP(pointing[2], "PNPDeviceID", "USB\\VID_046D&PID_C52B\\1-1");
  EXPECT_PROP(pointing[2], "Manufacturer", "Logitech");
}

TEST_F(LaptopPeripherals, SoundDevicePerCodec) {
  auto sound = All("Win32_SoundDevice");
  ASSERT_EQ(sound.size(), 2u);
  EXPECT_PROP(sound[0], "Name", "Realtek ALC257");
  EXPECT_PROP(sound[0], "ProductName", "Realtek ALC257");
  EXPECT_PROP(sound[0], "Manufacturer", "Realtek Semiconductor Co., Ltd.");
  EXPECT_PROP(sound[0], "DeviceID", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0257&SUBSYS_17AA2292\\0&0");
  EXPECT_PROP(sound[0], "PNPDeviceID", "PCI\\VEN_8086&DEV_02C8&SUBSYS_229217AA&REV_00\\3&000000&0&FB");
  EXPECT_PROP(sound[1], "Name", "Intel Kabylake HDMI");
  EXPECT_PROP(sound[1], "Manufacturer", "Intel Corporation");
}

TEST_F(LaptopPeripherals, DrivesAndLegacyPorts) {
  auto cd = All("Win32_CDROMDrive");
  ASSERT_EQ(cd.size(), 1u);
  EXPECT_PROP(cd[0], "Name", "HL-DT-ST DVDRAM GU90N");
  EXPECT_PROP(cd[0], "DeviceID", "SCSI\\CDROM&VEN_HL-DT-ST&PROD_DVDRAM_GU90N\\1:0:0:0");
  EXPECT_PROP(cd[0], "Drive", "/dev/sr0");
  EXPECT_PROP(cd[0], "MediaType", "DVD Writer");
  EXPECT_PROP(cd[0], "MediaLoaded", true);
  EXPECT_PROP(cd[0], "Size", std::to_string(Num("/sys/block/sr0/size") * 512));
  EXPECT_EQ(cd[0].Get("Capabilities"), Ints({3, 4, 7}));
  EXPECT_EQ(cd[0].Get("CapabilityDescriptions"),
            Texts({"Random Access", "Supports Writing", "Supports Removable Media"}));
  EXPECT_PROP(cd[0], "SCSIPort", 1);
  EXPECT_PROP(cd[0], "RevisionLevel", "A1C2");

  auto tapes = All("Win32_TapeDrive");
  ASSERT_EQ(tapes.size(), 1u);  // st0 and its seven other names are one drive
  EXPECT_PROP(tapes[0], "Name", "HP Ultrium 5-SCSI");
  EXPECT_PROP(tapes[0], "Id", "/dev/st0");
  EXPECT_EQ(tapes[0].Get("Capabilities"), Ints({2, 7}));

  auto floppy = All("Win32_FloppyDrive");
  ASSERT_EQ(floppy.size(), 1u);
  EXPECT_PROP(floppy[0], "MaxMediaSize", "1440");  // 2880 sectors: 1.44 MB
  auto fdc = All("Win32_FloppyController");
  ASSERT_EQ(fdc.size(), 1u);
  EXPECT_PROP(fdc[0], "DeviceID", "ACPI\\PNP0700\\0");
  EXPECT_PROP(fdc[0], "Name", "Standard floppy disk controller");

  auto lpt = All("Win32_ParallelPort");
  ASSERT_EQ(lpt.size(), 1u);
  EXPECT_PROP(lpt[0], "DeviceID", "LPT1");
  EXPECT_PROP(lpt[0], "Name", "Printer Port (LPT1)");
  EXPECT_PROP(lpt[0], "PNPDeviceID", "ACPI\\PNP0400\\0");
  EXPECT_EQ(lpt[0].Get("Capabilities"), Ints({3, 4, 6}));  // PCSPP, TRISTATE, EPP
  EXPECT_PROP(lpt[0], "DMASupport", false);
  EXPECT_TRUE(All("Win32_POTSModem").empty());
  EXPECT_TRUE(All("Win32_UninterruptiblePowerSupply").empty());
}

// Every button prints instances on the laptop (its SMBIOS table is a real
// ThinkPad's), but those whose hardware it lacks, the printers (they come from
// the print server, not the tree) and Win32_VideoConfiguration, which
// Microsoft documents as answering nothing since Windows Vista.
TEST_F(LaptopPeripherals, EveryButtonPrintsInstances) {
  const std::set<std::string> kAbsent = {"Command17", "Command35", "Command36", "Command37", "Command38",
                                         "Command39", "Command41", "Command51", "Command53"};
  for (const queries::Button& button : queries::Buttons()) {
    if (button.procedure == queries::Procedure::ClassDump) continue;  // the battery: the window's class dump
    testing_support::PaneHost host(*provider);
    queries::RunButton(host, button);
    // The header line alone, or with one separator, is a button without instances.
    const std::string text = host.text();
    auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (kAbsent.count(std::string(button.control)))
      EXPECT_LE(lines, 2u) << button.control << "\n" << text;
    else
      EXPECT_GT(lines, 2u) << button.control << "\n" << text;
  }
}

TEST_F(DesktopPeripherals, RadeonWithTwoMonitorsOneUnreadable) {
  auto gpus = All("Win32_VideoController");
  ASSERT_EQ(gpus.size(), 1u);
  EXPECT_PROP(gpus[0], "Name", "Vega 10 XL/XT [Radeon RX Vega 56/64]");
  EXPECT_PROP(gpus[0], "AdapterRAM", 4294967295);    // mem_info_vram_total is 8 GiB: the 32-bit count is full
  EXPECT_PROP(gpus[0], "DriverVersion", "5.18.13");  // the module's own version
  EXPECT_PROP(gpus[0], "CurrentHorizontalResolution", 1920);
  EXPECT_PROP(gpus[0], "MinRefreshRate", 56);  // the Dell's range limits
  EXPECT_PROP(gpus[0], "MaxRefreshRate", 76);
  EXPECT_NULL(gpus[0], "CurrentBitsPerPixel");  // no framebuffer console

  auto monitors = All("Win32_DesktopMonitor");
  ASSERT_EQ(monitors.size(), 2u);
  const wmi::Instance& dell = monitors[0];
  std::ifstream in(lxtest::TreePath("desktop") + "/sys/class/drm/card0-DP-1/edid", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string e = bytes.str();
  ASSERT_GE(e.size(), 128u);
  EXPECT_EQ(static_cast<unsigned char>(e[10]) | static_cast<unsigned char>(e[11]) << 8, 0x40A6);
  EXPECT_PROP(dell, "PNPDeviceID", "DISPLAY\\DEL40A6\\card0-DP-1");
  EXPECT_PROP(dell, "Name", "DELL P2714T");
  EXPECT_PROP(dell, "MonitorManufacturer", "Dell Inc.");
  EXPECT_PROP(dell, "Bandwidth", 170);
  EXPECT_PROP(dell, "ScreenWidth", 1920);
  EXPECT_PROP(dell, "ScreenHeight", 1080);
  // The second EDID was mangled on its way (its header is gone): a monitor all the same, without a PnP id.
  EXPECT_PROP(monitors[1], "Name", "Generic Non-PnP Monitor");
  EXPECT_NULL(monitors[1], "PNPDeviceID");
  EXPECT_PROP(monitors[1], "Availability", 15);  // dpms Standby
  EXPECT_PROP(monitors[1], "ScreenWidth", 1920);
  EXPECT_PROP(monitors[1], "ScreenHeight", 1200);
}

TEST_F(DesktopPeripherals, FansVoltagesAndUps) {
  auto fans = All("Win32_Fan");
  ASSERT_EQ(fans.size(), 1u);
  EXPECT_PROP(fans[0], "Name", "nct6779 fan2");
  EXPECT_PROP(fans[0], "VariableSpeed", true);  // fan2_target
  EXPECT_PROP(fans[0], "DesiredSpeed", *tree.Line("/sys/class/hwmon/hwmon0/fan2_target"));
  auto volts = All("Win32_VoltageProbe");
  ASSERT_EQ(volts.size(), 2u);
  EXPECT_PROP(volts[0], "CurrentReading", *tree.Number("/sys/class/hwmon/hwmon0/in0_input"));
  EXPECT_PROP(volts[0], "LowerThresholdNonCritical", *tree.Number("/sys/class/hwmon/hwmon0/in0_min"));
  EXPECT_PROP(volts[0], "UpperThresholdNonCritical", *tree.Number("/sys/class/hwmon/hwmon0/in0_max"));
  EXPECT_PROP(volts[0], "Status", tree.Number("/sys/class/hwmon/hwmon0/in0_alarm") == 1 ? "Degraded" : "OK");

  auto ups = All("Win32_UninterruptiblePowerSupply");
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_PROP(ups[0], "Name", "Back-UPS ES 700G");
  EXPECT_PROP(ups[0], "EstimatedChargeRemaining", 64);
  EXPECT_PROP(ups[0], "EstimatedRunTime", 30);  // time_to_empty_now 1800 s
  EXPECT_PROP(ups[0], "RemainingCapacityStatus", 3);
  EXPECT_PROP(ups[0], "BatteryInstalled", true);
  EXPECT_TRUE(All("Win32_Battery").empty());
}

TEST_F(DesktopPeripherals, UsbInputAudioAndModem) {
  auto keyboards = All("Win32_Keyboard");
  ASSERT_EQ(keyboards.size(), 1u);
  EXPECT_PROP(keyboards[0], "Layout", "00000407");  // KEYMAP=de-latin1-nodeadkeys
  EXPECT_PROP(keyboards[0], "NumberOfFunctionKeys", 12);
  EXPECT_PROP(keyboards[0], "PNPDeviceID", "USB\\VID_413C&PID_2113\\1-1");
  auto mice = All("Win32_PointingDevice");
  ASSERT_EQ(mice.size(), 1u);
  EXPECT_PROP(mice[0], "NumberOfButtons", 3);
  EXPECT_PROP(mice[0], "DeviceInterface", 162);

  auto sound = All("Win32_SoundDevice");
  ASSERT_EQ(sound.size(), 1u);  // a USB card without codecs: one device
  EXPECT_PROP(sound[0], "ProductName", "USB Audio Device");
  EXPECT_PROP(sound[0], "Manufacturer", "C-Media Electronics Inc.");
  EXPECT_PROP(sound[0], "PNPDeviceID", "USB\\VID_0D8C&PID_0014\\1-3");

  auto modems = All("Win32_POTSModem");
  ASSERT_EQ(modems.size(), 1u);  // the Arduino's ACM port (protocol 0) is no modem
  EXPECT_PROP(modems[0], "AttachedTo", "/dev/ttyACM0");
  EXPECT_PROP(modems[0], "Name", "USB Modem");
  EXPECT_PROP(modems[0], "ProviderName", "Conexant");
  EXPECT_PROP(modems[0], "DeviceID", "USB\\VID_0572&PID_1329\\12345678");
}

}  // namespace
