// The inventory on a real PostgreSQL server: the one .ci/run starts
// (tests/cli/postgres/start-postgres.sh), named by PCINFO_TEST_PGHOST. Each
// test suite works in a database of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/cli_runner.h"
#include "tests/support/machine_captures.h"
#include "tests/support/readme_queries.h"

extern char** environ;

namespace {

class PgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* host = std::getenv("PCINFO_TEST_PGHOST");
    if (!host || !*host) return;
    host_ = new std::string(host);
    database_ = new std::string("pcinfo_test_" + std::to_string(::getpid()));
    dir_ = new std::filesystem::path(std::filesystem::temp_directory_path() / *database_);
    std::filesystem::create_directories(*dir_);
    base_ = new wmi::Snapshot(wmi::LoadSnapshotFile(std::string(PCINFO_TEST_DATA) + "/desktop.json"));
    Admin("CREATE DATABASE " + *database_);
  }
  static void TearDownTestSuite() {
    if (!host_) return;
    Admin("DROP DATABASE IF EXISTS " + *database_ + " WITH (FORCE)");
    std::filesystem::remove_all(*dir_);
    delete host_;
    delete database_;
    delete dir_;
    delete base_;
    host_ = nullptr;
  }
  void SetUp() override {
    if (!host_) GTEST_SKIP() << "no PostgreSQL server: PCINFO_TEST_PGHOST is not set (.ci/run starts one)";
    Run("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
  }

  static void Admin(const std::string& sql) {
    PGconn* c = PQconnectdb(("postgresql:///pcinfo?host=" + *host_ + "&user=pcinfo").c_str());
    PQclear(PQexec(c, sql.c_str()));
    PQfinish(c);
  }
  static std::string Uri() { return "postgresql:///" + *database_ + "?host=" + *host_ + "&user=pcinfo"; }

  // The rows of a query, each as its columns' text joined by "|".
  std::vector<std::string> Run(const std::string& sql, const std::string& uri = Uri()) {
    PGconn* c = PQconnectdb(uri.c_str());
    PQclear(PQexec(c, "SET TimeZone = 'UTC'"));
    PGresult* r = PQexec(c, sql.c_str());
    std::vector<std::string> rows;
    if (PQresultStatus(r) != PGRES_TUPLES_OK && PQresultStatus(r) != PGRES_COMMAND_OK)
      ADD_FAILURE() << sql << ": " << PQerrorMessage(c);
    for (int i = 0; i < PQntuples(r); ++i) {
      std::string row;
      for (int j = 0; j < PQnfields(r); ++j)
        row += (j ? "|" : "") + std::string(PQgetisnull(r, i, j) ? "NULL" : PQgetvalue(r, i, j));
      rows.push_back(row);
    }
    PQclear(r);
    PQfinish(c);
    return rows;
  }

  static std::string File(int n, int later = 0) {
    std::string path = (*dir_ / (testing_support::MachineName(n) + "-" + std::to_string(later) + ".json")).string();
    if (!std::filesystem::exists(path))
      std::ofstream(path, std::ios::binary)
          << wmi::SerializeSnapshot(testing_support::MachineCapture(*base_, n, later));
    return path;
  }

  // pcinfo-cli export --db URI FILES..., started and not waited for; its
  // stderr to the file `err`.
  static pid_t StartLoader(const std::vector<std::string>& files, const std::string& uri = Uri(),
                           const std::string& err = "/dev/null") {
    std::vector<std::string> args = {PCINFO_CLI, "export", "--db", uri};
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, PCINFO_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static std::string* host_;
  static std::string* database_;
  static std::filesystem::path* dir_;
  static wmi::Snapshot* base_;
};

std::string* PgTest::host_ = nullptr;
std::string* PgTest::database_ = nullptr;
std::filesystem::path* PgTest::dir_ = nullptr;
wmi::Snapshot* PgTest::base_ = nullptr;

// The README's questions find the same rows as in SQLite; columns take
// PostgreSQL's types.
TEST_F(PgTest, TheReadmeQuestionsAnswerAsInSqlite) {
  std::vector<std::string> files;
  for (int n = 0; n < 40; ++n) files.push_back(File(n));
  files.push_back(File(0, 3));
  std::vector<std::string> args = {"export", "--db", Uri()};
  args.insert(args.end(), files.begin(), files.end());
  testing_support::CliResult r = testing_support::RunCli(args);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string sqlite = (*dir_ / "same.sqlite").string();
  args[2] = sqlite;
  ASSERT_EQ(testing_support::RunCli(args).status, 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(sqlite.c_str(), &db), SQLITE_OK);
  for (const std::string& sql : testing_support::ReadmeQueries()) {
    std::vector<std::string> expected;
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
    while (sqlite3_step(s) == SQLITE_ROW) expected.push_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    std::vector<std::string> rows = Run(sql);
    for (std::string& row : rows) {
      row = row.substr(0, row.find('|'));
      // A timestamptz as SQLite's ISO 8601 text.
      if (row.size() == 22 && row[10] == ' ' && row.ends_with("+00"))
        row = row.substr(0, 10) + "T" + row.substr(11, 8) + "Z";
    }
    EXPECT_EQ(rows, expected) << sql;
    EXPECT_FALSE(rows.empty()) << sql;
  }
  sqlite3_close(db);
  std::filesystem::remove(sqlite);
  EXPECT_EQ(Run("SELECT table_name, column_name, data_type FROM information_schema.columns WHERE "
                "(table_name, column_name) IN (('win32_physicalmemory', 'capacity'), ('win32_bios', 'releasedate'), "
                "('win32_diskdrive', 'capabilities'), ('win32_processor', 'loadpercentage'), "
                "('win32_diskdrive', 'medialoaded'), ('captures', 'captured')) ORDER BY 1, 2"),
            (std::vector<std::string>{
                "captures|captured|timestamp with time zone", "win32_bios|releasedate|timestamp with time zone",
                "win32_diskdrive|capabilities|jsonb", "win32_diskdrive|medialoaded|boolean",
                "win32_physicalmemory|capacity|bigint", "win32_processor|loadpercentage|bigint"}));
  EXPECT_EQ(Run("SELECT name, memory_gb, bios_date FROM machines WHERE name = 'PC-0007'"),
            std::vector<std::string>{"PC-0007|32.0|2019-11-12"});
}

// 50 loaders at once, each with its own captures, half of them bringing a
// class no other capture has, with properties that others add too.
TEST_F(PgTest, FiftyLoadersAtOnceLoseNothing) {
  constexpr int kLoaders = 50;
  std::vector<std::vector<std::string>> files(kLoaders);
  int modules = 0;
  for (int i = 0; i < kLoaders; ++i) {
    files[i] = {File(100 + i), File(100 + i, 1)};
    modules += 2 * testing_support::MachineModules(100 + i);
    if (i % 2 == 0) {
      wmi::Snapshot s = testing_support::MachineCapture(*base_, 100 + i, 2);
      s.namespaces[0].classes.push_back(
          {"Win32_New", {wmi::Instance({{"P" + std::to_string(i % 3), i}, {"Shared", "x"}})}});
      const std::string path = (*dir_ / ("new-" + std::to_string(i) + ".json")).string();
      std::ofstream(path, std::ios::binary) << wmi::SerializeSnapshot(s);
      files[i].push_back(path);
      modules += testing_support::MachineModules(100 + i);
    }
  }
  std::vector<pid_t> loaders;
  for (int i = 0; i < kLoaders; ++i) loaders.push_back(StartLoader(files[i]));
  int failed = 0;
  for (pid_t pid : loaders) failed += Wait(pid) != 0;
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Run("SELECT COUNT(*), COUNT(DISTINCT machine_id) FROM captures"),
            std::vector<std::string>{std::to_string(2 * kLoaders + kLoaders / 2) + "|" + std::to_string(kLoaders)});
  EXPECT_EQ(Run("SELECT COUNT(*) FROM win32_physicalmemory"), std::vector<std::string>{std::to_string(modules)});
  EXPECT_EQ(Run("SELECT COUNT(*), COUNT(p0), COUNT(p1), COUNT(p2) FROM win32_new"),
            std::vector<std::string>{"25|9|8|8"});
  EXPECT_EQ(Run("SELECT COUNT(*) FROM machines"), std::vector<std::string>{std::to_string(kLoaders)});
}

// A loader killed midway leaves each capture whole or out.
TEST_F(PgTest, AKilledLoaderLeavesNoHalfCapture) {
  std::vector<std::string> files;
  for (int n = 200; n < 230; ++n) files.push_back(File(n));
  pid_t pid = StartLoader(files);
  for (int i = 0; i < 500; ++i) {
    std::vector<std::string> count = Run("SELECT COUNT(*) FROM pg_tables WHERE tablename = 'captures'");
    if (count == std::vector<std::string>{"1"} && Run("SELECT COUNT(*) FROM captures") != std::vector<std::string>{"0"})
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  Wait(pid);
  const std::vector<std::string> loaded = Run("SELECT COUNT(*) FROM captures");
  ASSERT_FALSE(loaded.empty());
  EXPECT_NE(loaded[0], "0");
  EXPECT_NE(loaded[0], "30");
  // Every capture kept has all its rows, and no row is without its capture.
  EXPECT_EQ(Run("SELECT COUNT(*) FROM captures c WHERE (SELECT COUNT(*) FROM win32_processor p WHERE p.capture_id = "
                "c.capture_id) <> 1 OR NOT EXISTS (SELECT 1 FROM capture_summary s WHERE s.capture_id = c.capture_id)"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(Run("SELECT COUNT(*) FROM win32_physicalmemory WHERE capture_id NOT IN (SELECT capture_id FROM captures)"),
            std::vector<std::string>{"0"});
}

// The server restarted under a loader (an immediate shutdown, as a crash or
// a failover gives): the loader stops with a failure that says why, and each
// capture is whole or out. On a server of its own, which this test restarts.
TEST_F(PgTest, AServerRestartedMidwayFailsTheLoadAndLeavesNoHalfCapture) {
  const std::string own = (*dir_ / "restarted").string();
  const std::string as = ::getuid() == 0 ? "runuser -u postgres -- " : "";
  const std::string pg_ctl =
      as + "$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)/pg_ctl -D " + own + "/data -m immediate -w ";
  ASSERT_EQ(std::system((std::string(PCINFO_START_POSTGRES) + " " + own + " > " + own + ".env").c_str()), 0);
  struct Stop {
    std::string command;
    ~Stop() { EXPECT_EQ(std::system(command.c_str()), 0); }
  } stop{pg_ctl + "stop > /dev/null"};
  const std::string uri = "postgresql:///pcinfo?host=" + own + "&user=pcinfo";
  std::vector<std::string> files;
  for (int n = 300; n < 340; ++n) files.push_back(File(n));
  const std::string err = (*dir_ / "restarted.err").string();
  pid_t pid = StartLoader(files, uri, err);
  for (int i = 0; i < 500; ++i) {
    if (Run("SELECT COUNT(*) FROM pg_tables WHERE tablename = 'captures'", uri) == std::vector<std::string>{"1"} &&
        Run("SELECT COUNT(*) FROM captures", uri) != std::vector<std::string>{"0"})
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(std::system((pg_ctl + "-l " + own + "/restart.log restart > /dev/null").c_str()), 0);
  EXPECT_EQ(Wait(pid), 1);
  std::ifstream in(err);
  const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The last line names the capture it stopped at, the database and the server's words.
  const std::string last = said.substr(said.rfind('\n', said.size() - 2) + 1);
  EXPECT_TRUE(last.starts_with("pcinfo-cli: " + dir_->string() + "/PC-03")) << said;
  EXPECT_NE(last.find(".json: database " + uri + ": failed: "), std::string::npos) << said;
  EXPECT_NE(last.find("server"), std::string::npos) << said;
  EXPECT_TRUE(last.ends_with("; the load stops here\n")) << said;
  const std::vector<std::string> loaded = Run("SELECT COUNT(*) FROM captures", uri);
  ASSERT_FALSE(loaded.empty());
  EXPECT_NE(loaded[0], "0");
  EXPECT_NE(loaded[0], "40");
  // Every capture the loader reported loaded stayed; the one in flight too
  // when the server took its COMMIT but went down before it answered.
  int reported = 0;
  for (std::size_t at = said.find(": a new machine\n"); at != std::string::npos;
       at = said.find(": a new machine\n", at + 1))
    ++reported;
  EXPECT_TRUE(loaded[0] == std::to_string(reported) || loaded[0] == std::to_string(reported + 1)) << said;
  EXPECT_EQ(Run("SELECT COUNT(*) FROM captures c WHERE (SELECT COUNT(*) FROM win32_processor p WHERE p.capture_id = "
                "c.capture_id) <> 1 OR NOT EXISTS (SELECT 1 FROM capture_summary s WHERE s.capture_id = c.capture_id)",
                uri),
            std::vector<std::string>{"0"});
  EXPECT_EQ(
      Run("SELECT COUNT(*) FROM win32_physicalmemory WHERE capture_id NOT IN (SELECT capture_id FROM captures)", uri),
      std::vector<std::string>{"0"});
  // Loading again finishes the job, each capture once.
  EXPECT_EQ(Wait(StartLoader(files, uri)), 0);
  EXPECT_EQ(Run("SELECT COUNT(*), COUNT(DISTINCT machine_id) FROM captures", uri), std::vector<std::string>{"40|40"});
}

}  // namespace
