#pragma once

// A PostgreSQL server of the test's own, started in a temporary folder by
// Debian's initdb and pg_ctl and reached through a Unix socket there: as the
// user "nobody" when the tests run as root (the server refuses root). Its
// superuser "veldra" needs no password; each teacher made by addTeacher()
// logs in with one kept in a password file of the folder (PGPASSFILE), as a
// department keeps them in ~/.pgpass. Where no server can be started,
// skipReason() says why.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace veldra::testing {

class PostgresServer {
 public:
  PostgresServer() { start(); }
  ~PostgresServer() {
    if (running_) shell(bin_ / "pg_ctl", "-D '" + (dir_ / "data").string() + "' -m immediate stop >/dev/null 2>&1");
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  bool running() const { return running_; }
  const std::string& skipReason() const { return why_; }
  const std::filesystem::path& folder() const { return dir_; }

  // A libpq URI for the database as that role.
  std::string uri(const std::string& database, const std::string& role = "veldra") const {
    return "postgresql:///" + database + "?host=" + dir_.string() + "&user=" + role;
  }
  // Runs SQL as the superuser in the database; false when it failed.
  bool sql(const std::string& statement, const std::string& database = "postgres") const {
    std::ofstream(dir_ / "statement.sql") << statement << '\n';
    return std::system(("'" + (bin_ / "psql").string() + "' -q -v ON_ERROR_STOP=1 -h '" + dir_.string() +
                        "' -U veldra -d " + database + " -f '" + (dir_ / "statement.sql").string() + "' >/dev/null 2>&1")
                           .c_str()) == 0;
  }
  // A teacher's role with a password the password file holds (or a wrong one).
  bool addTeacher(const std::string& role, const std::string& database, bool rightPassword = true) {
#ifdef _WIN32
    (void)role, (void)database, (void)rightPassword;
    return false;
#else
    if (!sql("CREATE ROLE " + role + " LOGIN PASSWORD 'pw-" + role + "'; GRANT ALL ON DATABASE " + database +
             " TO " + role + ";" + "GRANT ALL ON SCHEMA public TO " + role + ";",
             database))
      return false;
    std::ofstream(dir_ / "pgpass", std::ios::app) << "*:*:*:" << role << ":" << (rightPassword ? "pw-" : "wrong-") << role << '\n';
    ::chmod((dir_ / "pgpass").c_str(), 0600);
    ::setenv("PGPASSFILE", (dir_ / "pgpass").c_str(), 1);
    return true;
#endif
  }

 private:
  void start() {
#ifdef _WIN32
    why_ = "the PostgreSQL tests run on Linux only";
#else
    std::error_code ec;
    for (const auto& version : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
      if (std::filesystem::exists(version.path() / "bin" / "initdb")) bin_ = version.path() / "bin";
    if (bin_.empty()) {
      why_ = "no PostgreSQL server binaries (initdb, pg_ctl) under /usr/lib/postgresql: install the package postgresql";
      return;
    }
    char pattern[] = "/tmp/veldra-pg-XXXXXX";
    if (!::mkdtemp(pattern)) {
      why_ = "cannot make a folder for the server";
      return;
    }
    dir_ = pattern;
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (!nobody || ::chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
        why_ = "running as root, and the server cannot be given to the user nobody";
        return;
      }
      as_ = "runuser -u nobody -- ";
    }
    ::chmod(dir_.c_str(), 0755);
    const std::string data = (dir_ / "data").string();
    if (shell(bin_ / "initdb", "-D '" + data + "' -U veldra -A trust -E UTF8 --no-sync >'" + dir_.string() + "/initdb.log' 2>&1") != 0) {
      why_ = "initdb failed (see " + dir_.string() + "/initdb.log)";
      return;
    }
    // The superuser without a password, every teacher with one.
    std::ofstream(dir_ / "data" / "pg_hba.conf") << "local all veldra trust\nlocal all all scram-sha-256\n";
    if (shell(bin_ / "pg_ctl", "-D '" + data + "' -w -l '" + dir_.string() + "/server.log' -o \"-k '" + dir_.string() +
                                   "' -c listen_addresses='' -c fsync=off -c synchronous_commit=off\" start >/dev/null 2>&1") != 0) {
      why_ = "the PostgreSQL server did not start (see " + dir_.string() + "/server.log)";
      return;
    }
    running_ = true;
#endif
  }
  int shell(const std::filesystem::path& program, const std::string& arguments) const {
    return std::system((as_ + "'" + program.string() + "' " + arguments).c_str());
  }

  std::filesystem::path bin_, dir_;
  std::string as_, why_;
  bool running_ = false;
};

}  // namespace veldra::testing
