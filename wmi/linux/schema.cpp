#include "wmi/linux/schema.h"

#include <algorithm>
#include <cctype>

#include "wmi/linux/tree.h"
#include "wmi/provider.h"

namespace wmi::lx {

namespace {

// Property lists, written "Name:type", type one of s (string), i (8 to 32-bit
// integer), l (64-bit integer), b (boolean), r (real), d (datetime), o
// (reference), with [] for arrays. @dev, @ctl and @res stand for the
// properties that CIM_LogicalDevice, CIM_Controller and CIM_SystemResource
// give every class below them.
constexpr std::string_view kDevice =
    "Availability:i Caption:s ConfigManagerErrorCode:i ConfigManagerUserConfig:b CreationClassName:s Description:s "
    "DeviceID:s ErrorCleared:b ErrorDescription:s InstallDate:d LastErrorCode:i Name:s PNPDeviceID:s "
    "PowerManagementCapabilities:i[] PowerManagementSupported:b Status:s StatusInfo:i SystemCreationClassName:s "
    "SystemName:s";
constexpr std::string_view kController =
    "@dev Manufacturer:s MaxNumberControlled:i ProtocolSupported:i TimeOfLastReset:d";
constexpr std::string_view kResource =
    "Caption:s CreationClassName:s CSCreationClassName:s CSName:s Description:s InstallDate:d Name:s Status:s";

constexpr std::string_view kLogicalDevice = "CIM_LogicalDevice CIM_LogicalElement CIM_ManagedSystemElement";

struct RawClass {
  std::string_view name;
  std::string_view ancestors;  // "@" stands for the chain of CIM_LogicalDevice
  std::string_view properties;
};

constexpr RawClass kClasses[] = {
    {"Win32_Processor", "CIM_Processor @",
     "@dev AddressWidth:i Architecture:i AssetTag:s Characteristics:i CpuStatus:i CurrentClockSpeed:i CurrentVoltage:i "
     "DataWidth:i ExtClock:i Family:i L2CacheSize:i L2CacheSpeed:i L3CacheSize:i L3CacheSpeed:i Level:i "
     "LoadPercentage:i Manufacturer:s MaxClockSpeed:i NumberOfCores:i NumberOfEnabledCore:i "
     "NumberOfLogicalProcessors:i OtherFamilyDescription:s PartNumber:s ProcessorId:s ProcessorType:i Revision:i "
     "Role:s SecondLevelAddressTranslationExtensions:b SerialNumber:s SocketDesignation:s Stepping:s ThreadCount:i "
     "UniqueId:s UpgradeMethod:i Version:s VirtualizationFirmwareEnabled:b VMMonitorModeExtensions:b VoltageCaps:i"},
    {"Win32_CacheMemory", "CIM_CacheMemory CIM_Memory CIM_StorageExtent @",
     "@dev Access:i AdditionalErrorData:i[] Associativity:i BlockSize:l CacheSpeed:i CacheType:i CorrectableError:b "
     "CurrentSRAM:i[] EndingAddress:l ErrorAccess:i ErrorAddress:l ErrorCorrectType:i ErrorData:i[] ErrorDataOrder:i "
     "ErrorInfo:i ErrorMethodology:s ErrorResolution:l ErrorTime:d ErrorTransferSize:i FlushTimer:i InstalledSize:i "
     "Level:i LineSize:i Location:i MaxCacheSize:i NumberOfBlocks:l OtherErrorDescription:s Purpose:s ReadPolicy:i "
     "ReplacementPolicy:i StartingAddress:l SupportedSRAM:i[] SystemLevelAddress:b WritePolicy:i"},
    {"Win32_DiskDrive", "CIM_DiskDrive CIM_MediaAccessDevice @",
     "@dev BytesPerSector:i Capabilities:i[] CapabilityDescriptions:s[] CompressionMethod:s DefaultBlockSize:l "
     "ErrorMethodology:s FirmwareRevision:s Index:i InterfaceType:s Manufacturer:s MaxBlockSize:l MaxMediaSize:l "
     "MediaLoaded:b MediaType:s MinBlockSize:l Model:s NeedsCleaning:b NumberOfMediaSupported:i Partitions:i "
     "SCSIBus:i SCSILogicalUnit:i SCSIPort:i SCSITargetId:i SectorsPerTrack:i SerialNumber:s Signature:i Size:l "
     "TotalCylinders:l TotalHeads:i TotalSectors:l TotalTracks:l TracksPerCylinder:i"},
    {"Win32_DiskPartition", "CIM_DiskPartition CIM_StorageExtent @",
     "@dev Access:i BlockSize:l Bootable:b BootPartition:b DiskIndex:i ErrorMethodology:s HiddenSectors:i Index:i "
     "NumberOfBlocks:l PrimaryPartition:b Purpose:s RewritePartition:b Size:l StartingOffset:l Type:s"},
    {"Win32_LogicalDisk", "CIM_LogicalDisk CIM_StorageExtent @",
     "@dev Access:i BlockSize:l Compressed:b DriveType:i ErrorMethodology:s FileSystem:s FreeSpace:l "
     "MaximumComponentLength:i MediaType:i NumberOfBlocks:l ProviderName:s Purpose:s QuotasDisabled:b "
     "QuotasIncomplete:b QuotasRebuilding:b Size:l SupportsDiskQuotas:b SupportsFileBasedCompression:b "
     "VolumeDirty:b VolumeName:s VolumeSerialNumber:s"},
    {"Win32_LogicalDiskToPartition", "CIM_BasedOn CIM_Dependency",
     "Antecedent:o Dependent:o EndingAddress:l StartingAddress:l"},
    {"Win32_NetworkAdapter", "CIM_NetworkAdapter @",
     "@dev AdapterType:s AdapterTypeId:i AutoSense:b GUID:s Index:i Installed:b InterfaceIndex:i MACAddress:s "
     "Manufacturer:s MaxNumberControlled:i MaxSpeed:l NetConnectionID:s NetConnectionStatus:i NetEnabled:b "
     "NetworkAddresses:s[] PermanentAddress:s PhysicalAdapter:b ProductName:s ServiceName:s Speed:l "
     "TimeOfLastReset:d"},
    {"Win32_NetworkAdapterConfiguration", "CIM_Setting",
     "ArpAlwaysSourceRoute:b ArpUseEtherSNAP:b Caption:s DatabasePath:s DeadGWDetectEnabled:b DefaultIPGateway:s[] "
     "DefaultTOS:i DefaultTTL:i Description:s DHCPEnabled:b DHCPLeaseExpires:d DHCPLeaseObtained:d DHCPServer:s "
     "DNSDomain:s DNSDomainSuffixSearchOrder:s[] DNSEnabledForWINSResolution:b DNSHostName:s "
     "DNSServerSearchOrder:s[] DomainDNSRegistrationEnabled:b ForwardBufferMemory:i FullDNSRegistrationEnabled:b "
     "GatewayCostMetric:i[] IGMPLevel:i Index:i InterfaceIndex:i IPAddress:s[] IPConnectionMetric:i IPEnabled:b "
     "IPFilterSecurityEnabled:b IPPortSecurityEnabled:b IPSecPermitIPProtocols:s[] IPSecPermitTCPPorts:s[] "
     "IPSecPermitUDPPorts:s[] IPSubnet:s[] IPUseZeroBroadcast:b IPXAddress:s IPXEnabled:b IPXFrameType:i[] "
     "IPXMediaType:i IPXNetworkNumber:s[] IPXVirtualNetNumber:s KeepAliveInterval:i KeepAliveTime:i MACAddress:s "
     "MTU:i NumForwardPackets:i PMTUBHDetectEnabled:b PMTUDiscoveryEnabled:b ServiceName:s SettingID:s "
     "TcpipNetbiosOptions:i TcpMaxConnectRetransmissions:i TcpMaxDataRetransmissions:i TcpNumConnections:i "
     "TcpUseRFC1122UrgentPointer:b TcpWindowSize:i WINSEnableLMHostsLookup:b WINSHostLookupFile:s "
     "WINSPrimaryServer:s WINSScopeID:s WINSSecondaryServer:s"},
    {"Win32_PnPEntity", "@",
     "@dev ClassGuid:s CompatibleID:s[] HardwareID:s[] Manufacturer:s PNPClass:s Present:b Service:s"},
    {"Win32_USBController", "CIM_USBController CIM_Controller @", "@ctl"},
    {"Win32_IDEController", "CIM_IDEController CIM_Controller @", "@ctl"},
    {"Win32_PCMCIAController", "CIM_PCMCIAController CIM_Controller @", "@ctl"},
    {"Win32_USBControllerDevice", "CIM_ControlledBy CIM_DeviceConnection CIM_Dependency",
     "AccessState:i Antecedent:o Dependent:o NegotiatedDataWidth:i NegotiatedSpeed:l NumberOfHardResets:i "
     "NumberOfSoftResets:i"},
    {"Win32_Bus", "@", "@dev BusNum:i BusType:i"},
    {"Win32_IRQResource", "CIM_IRQ CIM_SystemResource CIM_LogicalElement CIM_ManagedSystemElement",
     "@res Availability:i Hardware:b IRQNumber:i Shareable:b TriggerLevel:i TriggerType:i Vector:i"},
    {"Win32_DMAChannel", "CIM_DMA CIM_SystemResource CIM_LogicalElement CIM_ManagedSystemElement",
     "@res AddressSize:i Availability:i BurstMode:b ByteMode:i ChannelTiming:i DMAChannel:i MaxTransferSize:i Port:i "
     "TransferWidths:i[] TypeCTiming:i WordMode:i"},
    {"Win32_PortResource", "CIM_MemoryMappedIO CIM_SystemResource CIM_LogicalElement CIM_ManagedSystemElement",
     "@res Alias:b EndingAddress:l StartingAddress:l"},
    {"Win32_DeviceMemoryAddress", "CIM_MemoryMappedIO CIM_SystemResource CIM_LogicalElement CIM_ManagedSystemElement",
     "@res EndingAddress:l MemoryType:s StartingAddress:l"},
    {"Win32_SystemMemoryResource", "CIM_MemoryMappedIO CIM_SystemResource CIM_LogicalElement CIM_ManagedSystemElement",
     "@res EndingAddress:l StartingAddress:l"},
    {"Win32_SerialPort", "CIM_SerialController CIM_Controller @",
     "@ctl Binary:b Capabilities:i[] CapabilityDescriptions:s[] MaxBaudRate:i MaximumInputBufferSize:i "
     "MaximumOutputBufferSize:i OSAutoDiscovered:b ProviderType:s SettableBaudRate:b SettableDataBits:b "
     "SettableFlowControl:b SettableParity:b SettableParityCheck:b SettableRLSD:b SettableStopBits:b "
     "Supports16BitMode:b SupportsDTRDSR:b SupportsElapsedTimeouts:b SupportsIntTimeouts:b SupportsParityCheck:b "
     "SupportsRLSD:b SupportsRTSCTS:b SupportsSpecialCharacters:b SupportsXOnXOff:b SupportsXOnXOffSet:b"},
    {"Win32_SerialPortConfiguration", "CIM_Setting",
     "AbortReadWriteOnError:b BaudRate:i BinaryModeEnabled:b BitsPerByte:i Caption:s ContinueXMitOnXOff:b "
     "CTSOutflowControl:b Description:s DiscardNULLBytes:b DSROutflowControl:b DSRSensitivity:b "
     "DTRFlowControlType:s EOFCharacter:i ErrorReplaceCharacter:i ErrorReplacementEnabled:b EventCharacter:i "
     "IsBusy:b Name:s Parity:s ParityCheckEnabled:b RTSFlowControlType:s SettingID:s StopBits:s XOffCharacter:i "
     "XOffXMitThreshold:i XOnCharacter:i XOnXMitThreshold:i XOnXOffInFlowControl:b XOnXOffOutFlowControl:b"},
    {"Win32_OperatingSystem", "CIM_OperatingSystem CIM_LogicalElement CIM_ManagedSystemElement",
     "BootDevice:s BuildNumber:s BuildType:s Caption:s CodeSet:s CountryCode:s CreationClassName:s "
     "CSCreationClassName:s CSDVersion:s CSName:s CurrentTimeZone:i DataExecutionPrevention_32BitApplications:b "
     "DataExecutionPrevention_Available:b DataExecutionPrevention_Drivers:b DataExecutionPrevention_SupportPolicy:i "
     "Debug:b Description:s Distributed:b EncryptionLevel:i ForegroundApplicationBoost:i FreePhysicalMemory:l "
     "FreeSpaceInPagingFiles:l FreeVirtualMemory:l InstallDate:d LargeSystemCache:i LastBootUpTime:d "
     "LocalDateTime:d Locale:s Manufacturer:s MaxNumberOfProcesses:i MaxProcessMemorySize:l MUILanguages:s[] Name:s "
     "NumberOfLicensedUsers:i NumberOfProcesses:i NumberOfUsers:i OperatingSystemSKU:i Organization:s "
     "OSArchitecture:s OSLanguage:i OSProductSuite:i OSType:i OtherTypeDescription:s PAEEnabled:b PlusProductID:s "
     "PlusVersionNumber:s PortableOperatingSystem:b Primary:b ProductType:i QuantumLength:i QuantumType:i "
     "RegisteredUser:s SerialNumber:s ServicePackMajorVersion:i ServicePackMinorVersion:i SizeStoredInPagingFiles:l "
     "Status:s SuiteMask:i SystemDevice:s SystemDirectory:s SystemDrive:s TotalSwapSpaceSize:l "
     "TotalVirtualMemorySize:l TotalVisibleMemorySize:l Version:s WindowsDirectory:s"},
    {"Win32_LogonSession", "Win32_Session CIM_LogicalElement CIM_ManagedSystemElement",
     "AuthenticationPackage:s Caption:s Description:s InstallDate:d LogonId:s LogonType:i Name:s StartTime:d "
     "Status:s"},
    // Known classes without a Linux source on the machines this backend reads.
    {"Win32_POTSModem", "CIM_PotsModem @",
     "@dev AnswerMode:i AttachedTo:s BlindOff:s BlindOn:s CompatibilityFlags:s CompressionInfo:i CompressionOff:s "
     "CompressionOn:s ConfigurationDialog:s CountriesSupported:s[] CountrySelected:s CurrentPasswords:s[] DCB:i[] "
     "Default:i[] DeviceLoader:s DeviceType:s DialType:i DriverDate:d ErrorControlForced:s ErrorControlInfo:i "
     "ErrorControlOff:s ErrorControlOn:s FlowControlHard:s FlowControlOff:s FlowControlSoft:s InactivityScale:s "
     "InactivityTimeout:i Index:i MaxBaudRateToPhone:i MaxBaudRateToSerialPort:i MaxNumberOfPasswords:i Model:s "
     "ModemInfPath:s ModemInfSection:s ModulationBell:s ModulationCCITT:s ModulationScheme:i PortSubClass:s "
     "Prefix:s Properties:i[] ProviderName:s Pulse:s Reset:s ResponsesKeyName:s RingsBeforeAnswer:i "
     "SpeakerModeDial:s SpeakerModeOff:s SpeakerModeOn:s SpeakerModeSetup:s SpeakerVolumeHigh:s "
     "SpeakerVolumeInfo:i SpeakerVolumeLow:s SpeakerVolumeMed:s StringFormat:s SupportsCallback:b "
     "SupportsSynchronousConnect:b Terminator:s TimeOfLastReset:d Tone:s VoiceSwitchFeature:s"},
    {"Win32_HeatPipe", "CIM_HeatPipe CIM_CoolingDevice @", "@dev ActiveCooling:b"},
    {"Win32_Refrigeration", "CIM_Refrigeration CIM_CoolingDevice @", "@dev ActiveCooling:b"},
    {"Win32_PowerManagementEvent", "__ExtrinsicEvent __Event __IndicationRelated __SystemClass",
     "EventType:i OEMEventCode:i SECURITY_DESCRIPTOR:i[] TIME_CREATED:l"},
};

void AddProperties(std::string_view text, std::vector<PropertyDef>& out) {
  for (const std::string& word : Words(text)) {
    if (word == "@dev") {
      AddProperties(kDevice, out);
      continue;
    }
    if (word == "@ctl") {
      AddProperties(kController, out);
      continue;
    }
    if (word == "@res") {
      AddProperties(kResource, out);
      continue;
    }
    auto colon = word.find(':');
    std::string name = word.substr(0, colon);
    std::string type = word.substr(colon + 1);
    bool array = type.size() > 2 && type.substr(type.size() - 2) == "[]";
    CimType t = CimType::Text;
    switch (type[0]) {
      case 'i':
        t = CimType::Integer;
        break;
      case 'l':
        t = CimType::Big;
        break;
      case 'b':
        t = CimType::Boolean;
        break;
      case 'r':
        t = CimType::Real;
        break;
      case 'd':
        t = CimType::DateTime;
        break;
      case 'o':
        t = CimType::Reference;
        break;
      default:
        t = CimType::Text;
        break;
    }
    auto same = [&](const PropertyDef& p) { return EqualsIgnoreCase(p.name, name); };
    if (std::find_if(out.begin(), out.end(), same) == out.end()) out.push_back({name, t, array});
  }
}

bool LessIgnoreCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<ClassDef> BuildClasses() {
  std::vector<ClassDef> classes;
  for (const RawClass& raw : kClasses) {
    ClassDef def;
    def.name = std::string(raw.name);
    for (const std::string& a : Words(raw.ancestors)) {
      if (a == "@") {
        for (const std::string& b : Words(kLogicalDevice)) def.ancestors.push_back(b);
      } else {
        def.ancestors.push_back(a);
      }
    }
    AddProperties(raw.properties, def.properties);
    std::sort(def.properties.begin(), def.properties.end(),
              [](const PropertyDef& a, const PropertyDef& b) { return LessIgnoreCase(a.name, b.name); });
    classes.push_back(std::move(def));
  }
  return classes;
}

}  // namespace

const PropertyDef* ClassDef::Find(std::string_view property) const {
  for (const PropertyDef& p : properties)
    if (EqualsIgnoreCase(p.name, property)) return &p;
  return nullptr;
}

bool ClassDef::DerivesFrom(std::string_view ancestor) const {
  for (const std::string& a : ancestors)
    if (EqualsIgnoreCase(a, ancestor)) return true;
  return false;
}

std::span<const ClassDef> KnownClasses() {
  static const std::vector<ClassDef> classes = BuildClasses();
  return classes;
}

const ClassDef* FindClassDef(std::string_view name) {
  for (const ClassDef& c : KnownClasses())
    if (EqualsIgnoreCase(c.name, name)) return &c;
  return nullptr;
}

}  // namespace wmi::lx
