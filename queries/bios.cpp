#include "queries/bios.h"

#include <cmath>
#include <limits>

#include "wmi/error.h"

namespace queries {

namespace {

// Descriptions of BIOS characteristic codes 0 to 39, blanks included.
// clang-format off
constexpr std::string_view kDescriptions[] = {
    "予約済み ",  // 0
    "予約済み ",  // 1
    "不明 ",  // 2
    "BIOS 特性はサポートされていません ",  // 3
    "ISA がサポートされています ",  // 4
    "MCA がサポートされています ",  // 5
    "EISA がサポートされています ",  // 6
    "PCI がサポートされています ",  // 7
    "PC カード (PCMCIA) がサポートされています",  // 8
    "プラグ アンド プレイがサポートされています ",  // 9
    "APM はサポートされています ",  // 10
    "BIOS はアップグレード可能 (フラッシュ) ",  // 11
    "BIOS シャドウが許可されている ",  // 12
    "VL-VESA がサポートされています ",  // 13
    "ESCD のサポートが利用可能です ",  // 14
    "CD からのブートがサポートされています ",  // 15
    "選択可能なブートがサポートされています ",  // 16
    "BIOS ROM がソケットされている ",  // 17
    "PC カードからのブート (PCMCIA) がサポートされています ",  // 18
    "EDD (拡張ディスク ドライブ) 仕様がサポートされています ",  // 19
    "Int 13h - NEC 9800 用日本語フロッピー 1.2 mb (3.5\\\"、1k バイト/セクター、360 RPM) がサポートされています。Int 13h - NEC 9800 用日本語フロッピー 1.2 mb (3.5、1k バイト/セクター、360 RPM) がサポートされています",  // 20
    "Int 13h - Toshiba 1.2mb 用の日本語フロッピー (3.5\\\", 360 RPM) がサポートされています 。Int 13h - Toshiba 1.2mb 用の日本語フロッピー (3.5、360 RPM) がサポートされています",  // 21
    "Int 13h - 5.25\\\" / 360 KB フロッピー サービスがサポートされています。Int 13h - 5.25 / 360 KB フロッピー サービスがサポートされています",  // 22
    "Int 13h - 5.25\\\" /1.2MB フロッピー サービスがサポートされています。Int 13h - 5.25 /1.2MB フロッピー サービスがサポートされています",  // 23
    "Int 13h - 3.5\\\" / 720 KB フロッピー サービスがサポートされています。Int 13h - 3.5 / 720 KB フロッピー サービスがサポートされています",  // 24
    "Int 13h - 3.5\\\" / 2.88 MB フロッピー サービスがサポートされています。Int 13h - 3.5 / 2.88 MB フロッピー サービスがサポートされています",  // 25
    "Int 5h、印刷画面サービスがサポートされています。",  // 26
    "Int 9h、8042 キーボード サービスがサポートされています ",  // 27
    "Int 14h、シリアル サービスがサポートされています ",  // 28
    "Int 17h、プリンター サービスがサポートされています ",  // 29
    "Int 10h、CGA/Mono Video Services がサポートされています ",  // 30
    "NEC PC-98 ",  // 31
    "ACPI がサポートされています 。ACPI はサポートされています",  // 32
    "USB レガシがサポートされています ",  // 33
    "AGP がサポートされています ",  // 34
    "I2O ブートがサポートされています ",  // 35
    "LS-120 ブートがサポートされています ",  // 36
    "ATAPI ZIP ドライブの起動がサポートされています ",  // 37
    "1394 ブートがサポートされています ",  // 38
    "スマート バッテリーのサポート ",  // 39
};
// clang-format on

}  // namespace

std::string GetBiosCharacteristics(const std::int32_t& lBiosChr) {
  if (lBiosChr < 0 || lBiosChr >= static_cast<std::int32_t>(std::size(kDescriptions))) return {};
  return std::string(kDescriptions[lBiosChr]);
}

std::int32_t ToInt32(const wmi::Value& v) {
  auto fail = [&]() -> std::int32_t {
    throw wmi::Error(wmi::ErrorCode::TypeMismatch, "not a 32-bit integer: " + wmi::Describe(v));
  };
  constexpr auto lo = std::numeric_limits<std::int32_t>::min();
  constexpr auto hi = std::numeric_limits<std::int32_t>::max();
  switch (v.kind()) {
    case wmi::Value::Kind::Integer:
      if (v.integer() < lo || v.integer() > hi) return fail();
      return static_cast<std::int32_t>(v.integer());
    case wmi::Value::Kind::Real: {
      double r = std::nearbyint(v.real());  // rounds half to even
      if (!(r >= lo && r <= hi)) return fail();
      return static_cast<std::int32_t>(r);
    }
    case wmi::Value::Kind::Text: {
      const std::string& t = v.text();
      std::size_t used = 0;
      long long n = 0;
      try {
        n = std::stoll(t, &used, 10);
      } catch (const std::exception&) {
        return fail();
      }
      if (used != t.size() || n < lo || n > hi) return fail();
      return static_cast<std::int32_t>(n);
    }
    default:
      return fail();
  }
}

}  // namespace queries
