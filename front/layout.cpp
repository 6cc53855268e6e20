#include "front/layout.h"

#include <string>
#include <vector>

namespace front {

namespace {

// clang-format off
constexpr GroupButton kSensors[] = {{"Command55", 300, 285, 3285}, {"Command7", 300, 585, 1575}, {"Command50", 1890, 585, 1695}};
constexpr GroupButton kInput[] = {{"Command20", 0, 285, 2190}, {"Command31", 0, 585, 2190}};
constexpr GroupButton kFloppy[] = {{"Command15", 300, 285, 4110}, {"Command16", 300, 585, 4110}};
constexpr GroupButton kPower[] = {
    {"Command32", 300, 285, 4770}, {"Command51", 300, 585, 3180}, {"Command63", 3480, 585, 1590}, {"Command36", 300, 885, 4770}};
constexpr GroupButton kOtherHardware[] = {
    {"Command30", 300, 285, 5325}, {"Command46", 300, 585, 4125}, {"Command19", 4410, 585, 1215}, {"Command44", 300, 885, 5325}};
constexpr GroupButton kBus[] = {{"Command4", 300, 285, 1335},  {"Command13", 1635, 285, 3675}, {"Command26", 300, 585, 1335},
                                {"Command34", 1635, 585, 1335}, {"Command18", 2985, 585, 2325}, {"Command27", 300, 885, 5010},
                                {"Command33", 300, 1200, 5010}};
constexpr GroupButton kOs[] = {{"Command60", 300, 285, 3555}, {"Command56", 300, 585, 3555}};
constexpr GroupButton kPrinter[] = {{"Command38", 300, 285, 3855}, {"Command39", 300, 585, 3855}, {"Command37", 300, 885, 3855}};
constexpr GroupButton kSound[] = {{"Command45", 300, 285, 2955}};
constexpr GroupButton kSerial[] = {{"Command42", 300, 285, 3105}, {"Command43", 300, 585, 3105}};
constexpr GroupButton kMemory[] = {{"Command9", 300, 285, 4845},  {"Command28", 300, 585, 4845},  {"Command29", 300, 885, 4845},
                                   {"Command47", 300, 1185, 4845}, {"Command21", 300, 1485, 4845}, {"Command22", 300, 1785, 4845}};
constexpr GroupButton kNetwork[] = {{"Command23", 300, 285, 4035}, {"Command24", 300, 585, 4035}, {"Command35", 300, 900, 4035}};
constexpr GroupButton kDisplay[] = {{"Command8", 300, 285, 3240},   {"Command11", 300, 585, 3240}, {"Command12", 300, 885, 3240},
                                    {"Command54", 300, 1185, 3240}, {"Command53", 300, 1485, 3240}};
constexpr GroupButton kMotherboard[] = {{"Command2", 300, 285, 1260},  {"Command25", 1560, 285, 5745}, {"Command57", 300, 585, 7005},
                                        {"Command14", 285, 885, 2070}, {"Command41", 2355, 885, 2355}, {"Command17", 4710, 885, 2580},
                                        {"Command48", 270, 1185, 7035}};
constexpr GroupButton kUsb[] = {{"Command58", 300, 285, 2955}, {"Command52", 300, 585, 2955}};
constexpr GroupButton kDrives[] = {{"Command10", 300, 285, 2385}, {"Command1", 300, 585, 2385}, {"Command59", 300, 885, 2385},
                                   {"Command6", 300, 1185, 2385}, {"Command49", 300, 1485, 2385}};
constexpr GroupButton kBios[] = {{"Command3", 300, 285, 1875}};
constexpr GroupButton kCpu[] = {{"Command40", 300, 285, 1875}, {"Command5", 300, 600, 1875}};

constexpr Group kGroups[] = {
    {"Picture19", "Label19", "センサー", {5895, 6660, 3600, 1065}, kSensors},
    {"Picture18", "Label18", "入力デバイス", {3405, 6660, 2505, 1065}, kInput},
    {"Picture17", "Label17", "フロッピーディスク", {5070, 9375, 4425, 1065}, kFloppy},
    {"Picture16", "Label16", "電源", {0, 9375, 5085, 1335}, kPower},
    {"Picture15", "Label15", "その他ハード", {0, 10695, 5640, 1365}, kOtherHardware},
    {"Picture14", "Label14", "バス", {0, 7710, 5340, 1680}, kBus},
    {"Picture13", "Label13", "OS", {5625, 10695, 3870, 1095}, kOs},
    {"Picture12", "Label12", "プリンタ", {5325, 7710, 4170, 1335}, kPrinter},
    {"Picture11", "Label11", "サウンド", {6225, 4500, 3270, 855}, kSound},
    {"Picture10", "Label10", "シリアルポート", {0, 6660, 3420, 1065}, kSerial},
    {"Picture9", "Label9", "メモリ", {0, 2250, 5160, 2265}, kMemory},
    {"Picture8", "Label8", "ネットワーク", {5145, 2250, 4350, 1380}, kNetwork},
    {"Picture7", "Label7", "ディスプレイ", {0, 4500, 3555, 1950}, kDisplay},
    {"Picture6", "Label6", "マザーボード", {0, 600, 7320, 1665}, kMotherboard},
    {"Picture5", "Label5", "USB", {6225, 5340, 3270, 1065}, kUsb},
    {"Picture4", "Label4", "ドライブ", {3540, 4500, 2700, 1950}, kDrives},
    {"Picture3", "Label3", "BIOS", {7305, 1665, 2190, 600}, kBios},
    {"Picture1", "Label1", "CPU", {7305, 600, 2190, 1080}, kCpu},
};
// clang-format on

}  // namespace

std::span<const Group> Groups() { return kGroups; }

std::span<const std::string_view> TabOrder() {
  static const std::vector<std::string_view> order = [] {
    std::vector<std::string_view> names{"Text2"};
    for (const Group& g : kGroups) {
      names.push_back(g.frame);
      names.push_back(g.label);
      for (const GroupButton& b : g.buttons) names.push_back(b.control);
    }
    for (std::string_view n : {"rtxtMsg", "cmdAllGet", "chkClear", "Command61", "List2", "List1", "Command62"})
      names.push_back(n);
    return names;
  }();
  return order;
}

int ControlId(std::string_view name) {
  const auto order = TabOrder();
  for (std::size_t i = 0; i < order.size(); ++i)
    if (order[i] == name) return static_cast<int>(i) + kFirstControlId;
  return 0;
}

const Rect* ControlRect(std::string_view name) {
  for (const Control& c : kControls)
    if (c.name == name) return &c.rect;
  return nullptr;
}

}  // namespace front
