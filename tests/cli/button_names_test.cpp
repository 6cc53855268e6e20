// An unknown button name is answered, on its one line, with the nearest
// buttons by caption, class, group and control name.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/cli_runner.h"

namespace {

TEST(UnknownButton, NamesTheNearestButtonsAndTheButtonList) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"cpu", "unknown button: cpu; did you mean Command40 \"CPU\", Command5 \"キャッシュメモリ\"?"},
      {"disk",
       "unknown button: disk; did you mean Command1 \"論理ドライブ\", Command10 \"物理ディスクドライブ\", "
       "Command59 \"論理ドライブ2パーティション\"?"},
      {"バッテリー",
       "unknown button: バッテリー; did you mean Command63 \"バッテリー\", Command32 "
       "\"ノートPCに使われているような過般バッテリー\"?"},
      {"comand10",
       "unknown button: comand10; did you mean Command10 \"物理ディスクドライブ\", Command1 "
       "\"論理ドライブ\", Command11 \"システムのディスプレイ構成情報\"?"},
      {"processor", "unknown button: processor; did you mean Command40 \"CPU\"?"},
      {"xyzzy", "unknown button: xyzzy"},
  };
  for (const auto& [name, said] : cases) {
    const testing_support::CliResult r = testing_support::RunCli({"run", "Command40", name});
    EXPECT_EQ(r.status, 2) << name;
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(r.err, "pcinfo-cli: " + said + " (pcinfo-cli buttons lists them all)\n");
  }
}

}  // namespace
