#include "queries/property_list.h"

#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace queries {

namespace {

// Each list: the buttons that print it, then its entries in printing order,
// separated by blanks. An entry is a property name, optionally followed by its
// print form ("[each]", "[first]", "[bios]"; none means scalar) and, where the
// label is not the property name, "=Label".
struct ListSource {
  std::initializer_list<const char*> controls;
  const char* entries;
};

// clang-format off
const ListSource kLists[] = {
    {{"Command40"},
     "AddressWidth Architecture Availability Caption ConfigManagerErrorCode "
     "ConfigManagerUserConfig CpuStatus CreationClassName CurrentClockSpeed CurrentVoltage "
     "DataWidth Description DeviceID ErrorCleared ErrorDescription ExtClock Family InstallDate "
     "L2CacheSize L2CacheSpeed LastErrorCode Level LoadPercentage Manufacturer MaxClockSpeed Name "
     "OtherFamilyDescription PNPDeviceID PowerManagementCapabilities PowerManagementSupported "
     "ProcessorId ProcessorType Revision Role SocketDesignation Status StatusInfo Stepping "
     "SystemCreationClassName SystemName UniqueId UpgradeMethod Version VoltageCaps"},
    {{"Command5"},
     "Access AdditionalErrorData Associativity Availability BlockSize CacheSpeed CacheType Caption "
     "ConfigManagerErrorCode ConfigManagerUserConfig CorrectableError CreationClassName "
     "CurrentSRAM[each] Description DeviceID EndingAddress ErrorAccess ErrorAddress ErrorCleared "
     "ErrorCorrectType ErrorData ErrorDataOrder ErrorDescription ErrorInfo ErrorMethodology "
     "ErrorResolution ErrorTime ErrorTransferSize FlushTimer InstallDate InstalledSize "
     "LastErrorCode Level LineSize Location MaxCacheSize Name NumberOfBlocks OtherErrorDescription "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported Purpose ReadPolicy "
     "ReplacementPolicy StartingAddress Status StatusInfo SupportedSRAM[each] "
     "SystemCreationClassName SystemLevelAddress SystemName WritePolicy"},
    {{"Command3"},
     "BiosCharacteristics[bios] BuildNumber Caption CodeSet CurrentLanguage Description "
     "IdentificationCode InstallableLanguages InstallDate LanguageEdition ListOfLanguages[each] "
     "Manufacturer Name OtherTargetOS PrimaryBIOS ReleaseDate SerialNumber SMBIOSBIOSVersion "
     "SMBIOSMajorVersion SMBIOSMinorVersion SMBIOSPresent SoftwareElementID SoftwareElementState "
     "Status TargetOperatingSystem Version"},
    {{"Command10"},
     "Availability BytesPerSector Capabilities[each] CapabilityDescriptions[each] Caption "
     "CompressionMethod ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName "
     "DefaultBlockSize Description DeviceID ErrorCleared ErrorDescription ErrorMethodology Index "
     "InstallDate InterfaceType LastErrorCode Manufacturer MaxBlockSize MaxMediaSize MediaLoaded "
     "MediaType MinBlockSize Model Name NeedsCleaning NumberOfMediaSupported Partitions "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported SCSIBus SCSILogicalUnit "
     "SCSIPort SCSITargetId SectorsPerTrack SerialNumber Size Status StatusInfo "
     "SystemCreationClassName SystemName TotalCylinders TotalHeads TotalSectors TotalTracks "
     "TracksPerCylinder"},
    {{"Command6"},
     "Availability Capabilities[each] CapabilityDescriptions[each] Caption CompressionMethod "
     "ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName DefaultBlockSize "
     "Description DeviceID Drive DriveIntegrity ErrorCleared ErrorDescription ErrorMethodology "
     "FileSystemFlags FileSystemFlagsEx Id InstallDate LastErrorCode Manufacturer MaxBlockSize "
     "MaximumComponentLength MaxMediaSize MediaLoaded MediaType MinBlockSize Name NeedsCleaning "
     "NumberOfMediaSupported PNPDeviceID PowerManagementCapabilities PowerManagementSupported "
     "RevisionLevel SCSIBus SCSILogicalUnit SCSIPort SCSITargetId Size Status StatusInfo "
     "SystemCreationClassName SystemName TransferRate VolumeName VolumeSerialNumber"},
    {{"Command49"},
     "Availability Capabilities CapabilityDescriptions Caption Compression CompressionMethod "
     "ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName DefaultBlockSize "
     "Description DeviceID ECC EOTWarningZoneSize ErrorCleared ErrorDescription ErrorMethodology "
     "FeaturesHigh FeaturesLow Id InstallDate LastErrorCode Manufacturer MaxBlockSize MaxMediaSize "
     "MaxPartitionCount MediaType MinBlockSize Name NeedsCleaning NumberOfMediaSupported Padding "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported ReportSetMarks Status "
     "StatusInfo SystemCreationClassName SystemName"},
    {{"Command15", "Command18", "Command27", "Command52"},
     "Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName "
     "Description DeviceID ErrorCleared ErrorDescription InstallDate LastErrorCode Manufacturer "
     "MaxNumberControlled Name PNPDeviceID PowerManagementCapabilities PowerManagementSupported "
     "ProtocolSupported Status StatusInfo SystemCreationClassName SystemName TimeOfLastReset"},
    {{"Command2"},
     "Caption ConfigOptions[first] CreationClassName Depth Description Height HostingBoard "
     "HotSwappable InstallDate Manufacturer Model Name OtherIdentifyingInfo PartNumber PoweredOn "
     "Product Removable Replaceable RequirementsDescription RequiresDaughterBoard SerialNumber SKU "
     "SlotLayout SpecialRequirements Status Tag Version Weight Width"},
    {{"Command25"},
     "Caption CreationClassName Description DeviceType Enabled HotSwappable InstallDate "
     "Manufacturer Model Name OtherIdentifyingInfo PartNumber PoweredOn Removable Replaceable "
     "SerialNumber SKU Status Tag Version"},
    {{"Command14"},
     "ActiveCooling Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName Description DesiredSpeed DeviceID ErrorCleared ErrorDescription "
     "InstallDate LastErrorCode Name PNPDeviceID PowerManagementCapabilities "
     "PowerManagementSupported Status StatusInfo SystemCreationClassName SystemName VariableSpeed"},
    {{"Command17", "Command41"},
     "ActiveCooling Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName Description DeviceID ErrorCleared ErrorDescription InstallDate "
     "LastErrorCode Name PNPDeviceID PowerManagementCapabilities PowerManagementSupported Status "
     "StatusInfo SystemCreationClassName SystemName"},
    {{"Command48"},
     "Caption ConnectorPinout ConnectorType CreationClassName CurrentUsage Description "
     "HeightAllowed InstallDate LengthAllowed Manufacturer MaxDataWidth Model Name Number "
     "OtherIdentifyingInfo PartNumber PMESignal PoweredOn PurposeDescription SerialNumber Shared "
     "SKU SlotDesignation SpecialPurpose Status SupportsHotPlug Tag ThermalRating "
     "VccMixedVoltageSupport Version VppMixedVoltageSupport"},
    {{"Command54"},
     "AcceleratorCapabilities AdapterCompatibility AdapterDACType AdapterRAM Availability "
     "CapabilityDescriptions Caption ColorTableEntries ConfigManagerErrorCode "
     "ConfigManagerUserConfig CreationClassName CurrentBitsPerPixel CurrentHorizontalResolution "
     "CurrentNumberOfColors CurrentNumberOfColumns CurrentNumberOfRows CurrentRefreshRate "
     "CurrentScanMode CurrentVerticalResolution Description DeviceID DeviceSpecificPens DitherType "
     "DriverDate DriverVersion ErrorCleared ErrorDescription ICMIntent ICMMethod InfFilename "
     "InfSection InstallDate InstalledDisplayDrivers LastErrorCode MaxMemorySupported "
     "MaxNumberControlled MaxRefreshRate MinRefreshRate Monochrome Name NumberOfColorPlanes "
     "NumberOfVideoPages PNPDeviceID PowerManagementCapabilities PowerManagementSupported "
     "ProtocolSupported ReservedSystemPaletteEntries SpecificationVersion Status StatusInfo "
     "SystemCreationClassName SystemName SystemPaletteEntries TimeOfLastReset VideoArchitecture "
     "VideoMemoryType VideoMode VideoModeDescription VideoProcessor"},
    {{"Command8"},
     "Availability Bandwidth Caption ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName Description DeviceID DisplayType ErrorCleared ErrorDescription InstallDate "
     "IsLocked LastErrorCode MonitorManufacturer MonitorType Name PixelsPerXLogicalInch "
     "PixelsPerYLogicalInch PNPDeviceID PowerManagementCapabilities PowerManagementSupported "
     "ScreenHeight ScreenWidth Status StatusInfo SystemCreationClassName SystemName"},
    {{"Command11"},
     "BitsPerPel Caption Description DeviceName DisplayFlags DisplayFrequency DitherType "
     "DriverVersion ICMIntent ICMMethod LogPixels PelsHeight PelsWidth SettingID "
     "SpecificationVersion"},
    {{"Command12"},
     "BitsPerPixel Caption ColorPlanes Description DeviceEntriesInAColorTable DeviceSpecificPens "
     "HorizontalResolution Name RefreshRate ReservedSystemPaletteEntries SettingID "
     "SystemPaletteEntries VerticalResolution VideoMode"},
    {{"Command53"},
     "ActualColorResolution AdapterChipType AdapterCompatibility AdapterDACType AdapterDescription "
     "AdapterRAM AdapterType BitsPerPixel Caption ColorPlanes ColorTableEntries Description "
     "DeviceSpecificPens DriverDate HorizontalResolution InfFilename InfSection "
     "InstalledDisplayDrivers MonitorManufacturer MonitorType Name PixelsPerXLogicalInch "
     "PixelsPerYLogicalInch RefreshRate ScanMode ScreenHeight ScreenWidth SettingID "
     "SystemPaletteEntries VerticalResolution"},
    {{"Command35"},
     "AnswerMode AttachedTo Availability BlindOff BlindOn Caption CompatibilityFlags "
     "CompressionInfo CompressionOff CompressionOn ConfigManagerErrorCode ConfigManagerUserConfig "
     "ConfigurationDialog CountriesSupported CountrySelected CreationClassName CurrentPasswords "
     "DCB Default Description DeviceID DeviceLoader DeviceType DialType DriverDate ErrorCleared "
     "ErrorControlForced ErrorControlInfo ErrorControlOff ErrorControlOn ErrorDescription "
     "FlowControlHard FlowControlOff FlowControlSoft InactivityScale InactivityTimeout Index "
     "InstallDate LastErrorCode MaxBaudRateToPhone MaxBaudRateToSerialPort MaxNumberOfPasswords "
     "Model ModemInfPath ModemInfSection ModulationBell ModulationCCITT ModulationScheme Name "
     "PNPDeviceID PortSubClass PowerManagementCapabilities PowerManagementSupported Prefix "
     "Properties ProviderName Pulse Reset ResponsesKeyName RingsBeforeAnswer SpeakerModeDial "
     "SpeakerModeOff SpeakerModeOn SpeakerModeSetup SpeakerVolumeHigh SpeakerVolumeInfo "
     "SpeakerVolumeLow SpeakerVolumeMed Status StatusInfo StringFormat SupportsCallback "
     "SupportsSynchronousConnect SystemCreationClassName SystemName Terminator TimeOfLastReset "
     "Tone VoiceSwitchFeature"},
    {{"Command23"},
     "AdapterType AutoSense Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName Description DeviceID ErrorCleared ErrorDescription Index InstallDate "
     "Installed LastErrorCode MACAddress Manufacturer MaxNumberControlled MaxSpeed Name "
     "NetworkAddresses PermanentAddress PNPDeviceID PowerManagementCapabilities "
     "PowerManagementSupported ProductName ServiceName Speed Status StatusInfo "
     "SystemCreationClassName SystemName TimeOfLastReset"},
    {{"Command24"},
     "ArpAlwaysSourceRoute ArpUseEtherSNAP Caption DatabasePath DeadGWDetectEnabled "
     "DefaultIPGateway[each] DefaultTOS DefaultTTL Description DHCPEnabled DHCPLeaseExpires "
     "DHCPLeaseObtained DHCPServer DNSDomain DNSDomainSuffixSearchOrder[each] "
     "DNSEnabledForWINSResolution DNSHostName DNSServerSearchOrder[each] "
     "DomainDNSRegistrationEnabled ForwardBufferMemory FullDNSRegistrationEnabled "
     "GatewayCostMetric[each] IGMPLevel Index IPAddress[each] IPConnectionMetric IPEnabled "
     "IPFilterSecurityEnabled IPPortSecurityEnabled IPSecPermitIPProtocols IPSecPermitTCPPorts "
     "IPSecPermitUDPPorts IPSubnet[each] IPUseZeroBroadcast IPXAddress IPXEnabled IPXFrameType "
     "IPXMediaType IPXNetworkNumber IPXVirtualNetNumber KeepAliveInterval KeepAliveTime MACAddress "
     "MTU NumForwardPackets PMTUBHDetectEnabled PMTUDiscoveryEnabled ServiceName SettingID "
     "TcpipNetbiosOptions TcpMaxConnectRetransmissions TcpMaxDataRetransmissions TcpNumConnections "
     "TcpUseRFC1122UrgentPointer TcpWindowSize WINSEnableLMHostsLookup WINSHostLookupFile "
     "WINSPrimaryServer WINSScopeID WINSSecondaryServer"},
    {{"Command21", "Command22"},
     "Access AdditionalErrorData Availability BlockSize Caption ConfigManagerErrorCode "
     "ConfigManagerUserConfig CorrectableError CreationClassName Description DeviceID "
     "EndingAddress ErrorAccess ErrorAddress ErrorCleared ErrorData ErrorDataOrder "
     "ErrorDescription ErrorGranularity ErrorInfo ErrorMethodology ErrorResolution ErrorTime "
     "ErrorTransferSize InstallDate LastErrorCode Name NumberOfBlocks OtherErrorDescription "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported Purpose StartingAddress "
     "Status StatusInfo SystemCreationClassName SystemLevelAddress SystemName"},
    {{"Command47"},
     "Caption CreationClassName CSCreationClassName CSName Description EndingAddress InstallDate "
     "Name StartingAddress Status"},
    {{"Command29"},
     "Caption CreationClassName Depth Description Height HotSwappable InstallDate Location "
     "Manufacturer MaxCapacity MemoryDevices MemoryErrorCorrection Model Name OtherIdentifyingInfo "
     "PartNumber PoweredOn Removable Replaceable SerialNumber SKU Status Tag Use Version Weight "
     "Width"},
    {{"Command28"},
     "BankLabel Capacity Caption CreationClassName DataWidth Description DeviceLocator FormFactor "
     "HotSwappable InstallDate InterleaveDataDepth InterleavePosition Manufacturer MemoryType "
     "Model Name OtherIdentifyingInfo PartNumber PositionInRow PoweredOn Removable Replaceable "
     "SerialNumber SKU Speed Status Tag TotalWidth TypeDetail Version"},
    {{"Command9"},
     "Caption CreationClassName CSCreationClassName CSName Description EndingAddress InstallDate "
     "MemoryType Name StartingAddress Status"},
    {{"Command43"},
     "AbortReadWriteOnError BaudRate BinaryModeEnabled BitsPerByte Caption ContinueXMitOnXOff "
     "CTSOutflowControl Description DiscardNULLBytes DSROutflowControl DSRSensitivity "
     "DTRFlowControlType EOFCharacter ErrorReplaceCharacter ErrorReplacementEnabled EventCharacter "
     "IsBusy Name Parity ParityCheckEnabled RTSFlowControlType SettingID StopBits XOffCharacter "
     "XOffXMitThreshold XOnCharacter XOnXMitThreshold XOnXOffInFlowControl XOnXOffOutFlowControl"},
    {{"Command42"},
     "Availability Binary Capabilities CapabilityDescriptions Caption ConfigManagerErrorCode "
     "ConfigManagerUserConfig CreationClassName Description DeviceID ErrorCleared ErrorDescription "
     "InstallDate LastErrorCode MaxBaudRate MaximumInputBufferSize MaximumOutputBufferSize "
     "MaxNumberControlled Name OSAutoDiscovered PNPDeviceID PowerManagementCapabilities "
     "PowerManagementSupported ProtocolSupported ProviderType SettableBaudRate SettableDataBits "
     "SettableFlowControl SettableParity SettableParityCheck SettableRLSD SettableStopBits Status "
     "StatusInfo Supports16BitMode SupportsDTRDSR SupportsElapsedTimeouts SupportsIntTimeouts "
     "SupportsParityCheck SupportsRLSD SupportsRTSCTS SupportsSpecialCharacters SupportsXOnXOff "
     "SupportsXOnXOffSet SystemCreationClassName SystemName TimeOfLastReset"},
    {{"Command45"},
     "Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName "
     "Description DeviceID DMABufferSize ErrorCleared ErrorDescription InstallDate LastErrorCode "
     "Manufacturer MPU401Address Name PNPDeviceID PowerManagementCapabilities "
     "PowerManagementSupported ProductName Status StatusInfo SystemCreationClassName SystemName"},
    {{"Command37"},
     "Attributes Availability AveragePagesPerMinute Capabilities CapabilityDescriptions Caption "
     "ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName DefaultPriority Description "
     "DetectedErrorState DeviceID DriverName ErrorCleared ErrorDescription HorizontalResolution "
     "InstallDate JobCountSinceLastReset LanguagesSupported LastErrorCode Location Name "
     "PaperSizesSupported PNPDeviceID PortName PowerManagementCapabilities "
     "PowerManagementSupported PrinterPaperNames PrinterState PrinterStatus PrintJobDataType "
     "PrintProcessor SeparatorFile ServerName ShareName SpoolEnabled StartTime Status StatusInfo "
     "SystemCreationClassName SystemName TimeOfLastReset UntilTime VerticalResolution"},
    {{"Command39"},
     "Caption DataType Description Document DriverName ElapsedTime HostPrintQueue InstallDate "
     "JobId JobStatus Name Notify Owner PagesPrinted Parameters PrintProcessor Priority Size "
     "StartTime Status StatusMask TimeSubmitted TotalPages UntilTime"},
    {{"Command38"},
     "BitsPerPel Caption Collate Color Copies Description DeviceName DisplayFlags DisplayFrequency "
     "DitherType DriverVersion Duplex FormName HorizontalResolution ICMIntent ICMMethod LogPixels "
     "MediaType Name Orientation PaperLength PaperSize PaperWidth PelsHeight PelsWidth "
     "PrintQuality Scale SettingID SpecificationVersion TTOption VerticalResolution XResolution "
     "YResolution"},
    {{"Command33"},
     "Caption ConnectorPinout ConnectorType[each] CreationClassName Description "
     "ExternalReferenceDesignator InstallDate InternalReferenceDesignator Manufacturer Model Name "
     "OtherIdentifyingInfo PartNumber PortType PoweredOn SerialNumber SKU Status Tag Version"},
    {{"Command13"},
     "AddressSize Availability BurstMode ByteMode Caption ChannelTiming CreationClassName "
     "CSCreationClassName CSName Description DMAChannel InstallDate MaxTransferSize Name Port "
     "Status TransferWidths TypeCTiming WordMode"},
    {{"Command34"},
     "Alias Caption CreationClassName CSCreationClassName CSName Description EndingAddress "
     "InstallDate Name StartingAddress Status"},
    {{"Command26"},
     "Availability Capabilities CapabilityDescriptions Caption ConfigManagerErrorCode "
     "ConfigManagerUserConfig CreationClassName Description DeviceID DMASupport ErrorCleared "
     "ErrorDescription InstallDate LastErrorCode MaxNumberControlled Name OSAutoDiscovered "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported ProtocolSupported Status "
     "StatusInfo SystemCreationClassName SystemName TimeOfLastReset"},
    {{"Command4"},
     "Availability BusNum BusType Caption ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName Description DeviceID ErrorCleared ErrorDescription InstallDate "
     "LastErrorCode Name PNPDeviceID PowerManagementCapabilities PowerManagementSupported Status "
     "StatusInfo SystemCreationClassName SystemName"},
    {{"Command44"},
     "Access AdditionalErrorData Availability BlockSize Caption ConfigManagerErrorCode "
     "ConfigManagerUserConfig CorrectableError CreationClassName Description DeviceID "
     "EndingAddress ErrorAccess ErrorAddress ErrorCleared ErrorData ErrorDataOrder "
     "ErrorDescription ErrorInfo ErrorMethodology ErrorResolution ErrorTime ErrorTransferSize "
     "InstallDate LastErrorCode Name NumberOfBlocks OtherErrorDescription PNPDeviceID "
     "PowerManagementCapabilities PowerManagementSupported Purpose StartingAddress Status "
     "StatusInfo SystemCreationClassName SystemLevelAddress SystemName"},
    {{"Command46"},
     "AudibleAlarm BreachDescription CableManagementStrategy Caption ChassisTypes "
     "CreationClassName CurrentRequiredOrProduced Depth Description HeatGeneration Height "
     "HotSwappable InstallDate LockPresent Manufacturer Model Name NumberOfPowerCords "
     "OtherIdentifyingInfo PartNumber PoweredOn Removable Replaceable SecurityBreach "
     "SecurityStatus SerialNumber ServiceDescriptions ServicePhilosophy SKU SMBIOSAssetTag Status "
     "Tag TypeDescriptions Version VisibleAlarm Weight Width"},
    {{"Command30"},
     "Availability Caption ClassGuid ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName Description DeviceID ErrorCleared ErrorDescription InstallDate "
     "LastErrorCode Manufacturer Name PNPDeviceID PowerManagementCapabilities "
     "PowerManagementSupported Service Status StatusInfo SystemCreationClassName SystemName"},
    {{"Command19"},
     "Availability Caption CreationClassName CSCreationClassName CSName Description Hardware "
     "InstallDate IRQNumber Name Shareable Status TriggerLevel TriggerType Vector"},
    {{"Command36"},
     "EventType OEMEventCode"},
    {{"Command51"},
     "ActiveInputVoltage Availability BatteryInstalled CanTurnOffRemotely Caption CommandFile "
     "ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName Description DeviceID "
     "ErrorCleared ErrorDescription EstimatedChargeRemaining EstimatedRunTime FirstMessageDelay "
     "InstallDate IsSwitchingSupply LastErrorCode LowBatterySignal MessageInterval Name "
     "PNPDeviceID PowerFailSignal PowerManagementCapabilities PowerManagementSupported "
     "Range1InputFrequencyHigh Range1InputFrequencyLow Range1InputVoltageHigh "
     "Range1InputVoltageLow Range2InputFrequencyHigh Range2InputFrequencyLow "
     "Range2InputVoltageHigh Range2InputVoltageLow RemainingCapacityStatus Status StatusInfo "
     "SystemCreationClassName SystemName TimeOnBackup TotalOutputPower TypeOfRangeSwitching "
     "UPSPort"},
    {{"Command32"},
     "Availability BatteryRechargeTime BatteryStatus CapacityMultiplier Caption Chemistry "
     "ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName Description DesignCapacity "
     "DesignVoltage DeviceID ErrorCleared ErrorDescription EstimatedChargeRemaining "
     "EstimatedRunTime ExpectedBatteryLife ExpectedLife FullChargeCapacity InstallDate "
     "LastErrorCode Location ManufactureDate Manufacturer MaxBatteryError MaxRechargeTime Name "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported SmartBatteryVersion Status "
     "StatusInfo SystemCreationClassName SystemName TimeOnBattery TimeToFullCharge"},
    {{"Command16"},
     "Availability Capabilities CapabilityDescriptions Caption CompressionMethod "
     "ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName DefaultBlockSize "
     "Description DeviceID ErrorCleared ErrorDescription ErrorMethodology InstallDate "
     "LastErrorCode Manufacturer MaxBlockSize MaxMediaSize MinBlockSize Name NeedsCleaning "
     "NumberOfMediaSupported PNPDeviceID PowerManagementCapabilities PowerManagementSupported "
     "Status StatusInfo SystemCreationClassName SystemName"},
    {{"Command31"},
     "Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName "
     "Description DeviceID DeviceInterface DoubleSpeedThreshold ErrorCleared ErrorDescription "
     "Handedness HardwareType InfFilename=InfFileName InfSection InstallDate IsLocked LastErrorCode "
     "Manufacturer Name NumberOfButtons PNPDeviceID PointingType PowerManagementCapabilities "
     "PowerManagementSupported QuadSpeedThreshold Resolution SampleRate Status StatusInfo Synch "
     "SystemCreationClassName SystemName"},
    {{"Command20"},
     "Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig CreationClassName "
     "Description DeviceID ErrorCleared ErrorDescription InstallDate IsLocked LastErrorCode Layout "
     "Name NumberOfFunctionKeys Password PNPDeviceID PowerManagementCapabilities "
     "PowerManagementSupported Status StatusInfo SystemCreationClassName SystemName"},
    {{"Command7", "Command50", "Command55"},
     "Accuracy Availability Caption ConfigManagerErrorCode ConfigManagerUserConfig "
     "CreationClassName CurrentReading Description DeviceID ErrorCleared ErrorDescription "
     "InstallDate IsLinear LastErrorCode LowerThresholdCritical LowerThresholdFatal "
     "LowerThresholdNonCritical MaxReadable MinReadable Name NominalReading NormalMax NormalMin "
     "PNPDeviceID PowerManagementCapabilities PowerManagementSupported Resolution Status "
     "StatusInfo SystemCreationClassName SystemName Tolerance UpperThresholdCritical "
     "UpperThresholdFatal UpperThresholdNonCritical"},
};
// clang-format on

PropertyEntry ParseEntry(const std::string& word) {
  std::string name = word, label, form;
  if (auto eq = name.find('='); eq != std::string::npos) {
    label = name.substr(eq + 1);
    name.erase(eq);
  }
  if (auto br = name.find('['); br != std::string::npos) {
    form = name.substr(br);
    name.erase(br);
  }
  if (label.empty()) label = name;
  PrintForm pf = PrintForm::Scalar;
  if (form == "[each]")
    pf = PrintForm::Each;
  else if (form == "[first]")
    pf = PrintForm::First;
  else if (form == "[bios]")
    pf = PrintForm::Bios;
  else if (!form.empty())
    throw std::logic_error("unknown print form " + form);
  return PropertyEntry{name, label + ": ", pf};
}

struct Lists {
  std::vector<std::vector<PropertyEntry>> lists;
  std::map<std::string, std::size_t, std::less<>> by_control;

  Lists() {
    lists.reserve(std::size(kLists));
    for (const ListSource& src : kLists) {
      std::vector<PropertyEntry> list;
      std::istringstream words(src.entries);
      for (std::string w; words >> w;) list.push_back(ParseEntry(w));
      for (const char* c : src.controls) by_control.emplace(c, lists.size());
      lists.push_back(std::move(list));
    }
  }
};

const Lists& AllLists() {
  static const Lists lists;
  return lists;
}

}  // namespace

PropertyList PropertyListOf(std::string_view control) {
  const Lists& all = AllLists();
  auto it = all.by_control.find(control);
  if (it == all.by_control.end()) return {};
  return all.lists[it->second];
}

}  // namespace queries
