#include "queries/buttons.h"

#include "wmi/error.h"
#include "wmi/text.h"
#include "wmi/wql.h"

namespace queries {

namespace {

// Control name, caption, group, query text, procedure. Captions and query texts
// are the window's own literals, byte for byte.
// clang-format off
constexpr Button kButtons[] = {
    {"Command1", "論理ドライブ", "ドライブ", "Select * from Win32_LogicalDisk", Procedure::AllPropertiesNullMarker},
    {"Command2", "マザーボード", "マザーボード", "Select * from Win32_BaseBoard", Procedure::FixedList},
    {"Command3", "BIOS", "BIOS", "Select * from Win32_BIOS", Procedure::FixedList},
    {"Command4", "物理バス", "バス", "Select * from Win32_Bus", Procedure::FixedList},
    {"Command5", "キャッシュメモリ", "CPU", "Select * from Win32_CacheMemory", Procedure::FixedList},
    {"Command6", "CDROMドライブ", "ドライブ", "Select * from Win32_CDROMDrive", Procedure::FixedList},
    {"Command7", "電流メーター", "センサー", "Select * from Win32_CurrentProbe", Procedure::FixedList},
    {"Command8", "モニター/ディスプレイデバイス", "ディスプレイ", "Select * from Win32_DesktopMonitor", Procedure::FixedList},
    {"Command9", "メモリアドレスデバイス", "メモリ", "Select * from Win32_DeviceMemoryAddress", Procedure::FixedListWithOpeningLine},
    {"Command10", "物理ディスクドライブ", "ドライブ", "Select * from Win32_DiskDrive", Procedure::FixedList},
    {"Command11", "システムのディスプレイ構成情報", "ディスプレイ", "Select * from Win32_DisplayConfiguration", Procedure::FixedList},
    {"Command12", "システムのビデオアダプタの構成", "ディスプレイ", "Select * from Win32_DisplayControllerConfiguration", Procedure::FixedList},
    {"Command13", "DMA(ダイレクト・メモリ・アクセス)チャンネル", "バス", "Select * from Win32_DMAChannel", Procedure::FixedList},
    {"Command14", "冷却ファン", "マザーボード", "Select * from Win32_Fan", Procedure::FixedList},
    {"Command15", "フロッピーディスクコントローラの能力と管理機能", "フロッピーディスク", "Select * from Win32_FloppyController", Procedure::FixedList},
    {"Command16", "フロッピーディスクドライブの能力", "フロッピーディスク", "Select * from Win32_FloppyDrive", Procedure::FixedList},
    {"Command17", "冷却用ヒートパイプ", "マザーボード", "Select * from Win32_HeatPipe", Procedure::FixedList},
    {"Command18", "IDEコントローラ", "バス", "Select * from Win32_IDEController", Procedure::FixedList},
    {"Command19", "IRQ", "その他ハード", "Select * from Win32_IRQResource", Procedure::FixedList},
    {"Command20", "キーボード", "入力デバイス", "Select * from Win32_Keyboard", Procedure::FixedList},
    {"Command21", "メモリ配列とマップされているアドレス", "メモリ", "Select * from Win32_MemoryArray", Procedure::FixedList},
    {"Command22", "メモリデバイスとそれがマップされているアドレス", "メモリ", "Select * from Win32_MemoryDevice", Procedure::FixedList},
    {"Command23", "ネットワークアダプタ", "ネットワーク", "Select * from Win32_NetworkAdapter", Procedure::FixedList},
    {"Command24", "ネットワークアダプタの属性と動作", "ネットワーク", "Select * from Win32_NetworkAdapterConfiguration", Procedure::FixedList},
    {"Command25", "マザーボードに組み込まれているオンボードデバイス", "マザーボード", "Select * from Win32_OnBoardDevice", Procedure::FixedList},
    {"Command26", "パラレルポート", "バス", "Select * from Win32_ParallelPort", Procedure::FixedList},
    {"Command27", "PCMCIAカード(PCカード)コントローラーの能力", "バス", "Select * from Win32_PCMCIAController", Procedure::FixedList},
    {"Command28", "オペレーティングシステムから利用できる物理メモリデバイス", "メモリ", "Select * from Win32_PhysicalMemory", Procedure::FixedList},
    {"Command29", "コンピュータシステムの物理メモリの詳細", "メモリ", "Select * from Win32_PhysicalMemoryArray", Procedure::FixedList},
    {"Command30", "プラグ＆プレイデバイスのプロパティ", "その他ハード", "Select * from Win32_PnPEntity", Procedure::FixedList},
    {"Command31", "ポインティングデバイス", "入力デバイス", "Select * from Win32_PointingDevice", Procedure::FixedList},
    {"Command32", "ノートPCに使われているような過般バッテリー", "電源", "Select * from Win32_PortableBattery", Procedure::FixedList},
    {"Command33", "DB-25ピン、セントロニクス、PS/2など", "バス", "Select * from Win32_PortConnector", Procedure::FixedList},
    {"Command34", "I/Oポート", "バス", "Select * from Win32_PortResource", Procedure::FixedList},
    {"Command35", "モデム", "ネットワーク", "Select * from Win32_POTSModem", Procedure::FixedList},
    {"Command36", "電源の状態変化によって発生する電源管理イベント", "電源", "Select * from Win32_PowerManagementEvent", Procedure::FixedList},
    {"Command37", "紙にイメージを出力するプリンタなどのデバイス", "プリンタ", "Select * from Win32_Printer", Procedure::FixedList},
    {"Command38", "プリンタデバイスの設定", "プリンタ", "Select * from Win32_PrinterConfiguration", Procedure::FixedList},
    {"Command39", "アプリケーションからの印刷ジョブ", "プリンタ", "Select * from Win32_PrintJob", Procedure::FixedList},
    {"Command40", "CPU", "CPU", "Select * from Win32_Processor", Procedure::FixedList},
    {"Command41", "冷却デバイス", "マザーボード", "Select * from Win32_Refrigeration", Procedure::FixedList},
    {"Command42", "シリアルポート", "シリアルポート", "Select * from Win32_SerialPort", Procedure::FixedList},
    {"Command43", "シリアルポートのデータ転送設定", "シリアルポート", "Select * from Win32_SerialPortConfiguration", Procedure::FixedList},
    {"Command44", "システム管理BIOS(SMBIOS)からみたシステムメモリのプロパティ", "その他ハード", "Select * from Win32_SMBIOSMemory", Procedure::FixedList},
    {"Command45", "サウンドデバイスのプロパティ", "サウンド", "Select * from Win32_SoundDevice", Procedure::FixedList},
    {"Command46", "システムエンクロージャーに関連するプロパティ", "その他ハード", "Select * from Win32_SystemEnclosure", Procedure::FixedList},
    {"Command47", "システムのメモリリソース", "メモリ", "Select * from Win32_SystemMemoryResource", Procedure::FixedList},
    {"Command48", "ポート、マザーボードのスロット、周辺機器、独自の接続ポイントなど物理的な接続ポイント", "マザーボード", "Select * from Win32_SystemSlot", Procedure::FixedList},
    {"Command49", "テープドライブ", "ドライブ", "Select * from Win32_TapeDrive", Procedure::FixedList},
    {"Command50", "温度センター", "センサー", "Select * from Win32_TemperatureProbe", Procedure::FixedList},
    {"Command51", "無停電電源(UPS)の能力や容量", "電源", "Select * from Win32_UninterruptiblePowerSupply", Procedure::FixedList},
    {"Command52", "USBコントローラの能力", "USB", "Select * from Win32_USBController", Procedure::FixedList},
    {"Command53", "ビデオサブシステムの設定", "ディスプレイ", "Select * from Win32_VideoConfiguration", Procedure::FixedList},
    {"Command54", "ビデオコントローラーの能力と管理", "ディスプレイ", "Select * from Win32_VideoController", Procedure::FixedList},
    {"Command55", "電圧センサーのプロパティ", "センサー", "Select * from Win32_VoltageProbe", Procedure::FixedList},
    {"Command56", "ログオン セッション情報", "OS", "Select * from Win32_LogonSession ", Procedure::AllPropertiesText},
    {"Command57", "マザーボードに組み込まれている共通アダプタ", "マザーボード", "Select * From Win32_BaseBoard", Procedure::BaseBoardAdapters},
    {"Command58", "USBデバイス", "USB", "Select * From Win32_USBControllerDevice", Procedure::UsbDevices},
    {"Command59", "論理ドライブ2パーティション", "ドライブ", "Select * from Win32_LogicalDiskToPartition", Procedure::AllPropertiesText},
    {"Command60", "OS情報", "OS", "Win32_OperatingSystem", Procedure::OperatingSystem},
    {"Command63", "バッテリー", "電源", "Select * from Win32_Battery", Procedure::ClassDump},
};
// clang-format on

// The batch runs the table's first sixty rows; the battery button closes the table.
constexpr std::size_t kBatchRows = 60;
static_assert(kButtons[kBatchRows - 1].control == "Command60" && std::size(kButtons) == kBatchRows + 1);

}  // namespace

std::span<const Button> Buttons() { return kButtons; }

std::span<const Button> BatchButtons() { return std::span<const Button>(kButtons).first(kBatchRows); }

const Button* FindButton(std::string_view control) {
  for (const Button& b : kButtons)
    if (b.control == control) return &b;
  return nullptr;
}

std::vector<std::string> QueriedClasses() {
  std::vector<std::string> classes;
  auto add = [&](const std::string& name) {
    for (const std::string& c : classes)
      if (wmi::EqualsIgnoreCase(c, name)) return;
    classes.push_back(name);
  };
  for (const Button& b : kButtons) {
    try {
      add(wmi::ParseWql(b.query).class_name);
    } catch (const wmi::Error&) {
      add(std::string(b.query));  // the OS button names its class alone (InstancesOf)
    }
  }
  add("Win32_PnPEntity");  // the USB device button's second query
  return classes;
}

}  // namespace queries
