#include "handoff/aria2_settings.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>

namespace quorvane {
namespace {

// A configuration folder of its own with the two settings files, removed afterwards.
class ConfigFolder {
 public:
  ConfigFolder() : path_(std::filesystem::temp_directory_path() / ("quorvane-config-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
  }
  ~ConfigFolder() { std::filesystem::remove_all(path_); }
  void Write(const std::string& file, const std::string& text) {
    std::filesystem::create_directories((path_ / file).parent_path());
    std::ofstream(path_ / file, std::ios::binary) << text;
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct SettingsCase {
  const char* what;
  std::optional<std::string> own;    // quorvane/quorvane.conf
  std::optional<std::string> aria2;  // aria2/aria2.conf
  std::string host;
  int port;
  std::string secret;
};

void PrintTo(const SettingsCase& c, std::ostream* out) { *out << c.what; }

class Aria2SettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(Aria2SettingsTest, ReadsOwnSettingsThenTheDaemonsConfiguration) {
  const SettingsCase& c = GetParam();
  ConfigFolder folder;
  if (c.own) {
    folder.Write("quorvane/quorvane.conf", *c.own);
  }
  if (c.aria2) {
    folder.Write("aria2/aria2.conf", *c.aria2);
  }
  const Aria2Settings settings = ReadAria2Settings(folder.Path());
  EXPECT_EQ(settings.host, c.host) << c.what;
  EXPECT_EQ(settings.port, c.port) << c.what;
  EXPECT_EQ(settings.secret, c.secret) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Aria2SettingsTest,
    ::testing::Values(
        SettingsCase{"no files", std::nullopt, std::nullopt, "127.0.0.1", 6800, ""},
        SettingsCase{"the daemon's own file, as aria2 writes it",
                     std::nullopt,
                     "# rpc\r\nenable-rpc=true\r\n rpc-listen-port = 6801 \r\nrpc-secret=s3 cr=t\r\n#rpc-secret=old\r\n",
                     "127.0.0.1", 6801, "s3 cr=t"},
        SettingsCase{"own settings come first", "aria2-rpc-port=7000\naria2-rpc-secret=mine\naria2-rpc-host=[::1]\n",
                     "rpc-listen-port=6801\nrpc-secret=theirs\n", "[::1]", 7000, "mine"},
        SettingsCase{"what own settings leave out comes from the daemon's", "aria2-rpc-port=7000\n",
                     "rpc-secret=theirs\n", "127.0.0.1", 7000, "theirs"},
        SettingsCase{"the last of a repeated key counts", std::nullopt, "rpc-secret=a\nrpc-secret=b\n", "127.0.0.1", 6800,
                     "b"},
        SettingsCase{"ports that are none", "aria2-rpc-port=70000\n", "rpc-listen-port=68x1\n", "127.0.0.1", 6800, ""},
        SettingsCase{"hosts that would change the address", "aria2-rpc-host=evil.test/x?\n", std::nullopt, "127.0.0.1",
                     6800, ""},
        SettingsCase{"hosts with credentials", "aria2-rpc-host=user@h.test\n", std::nullopt, "127.0.0.1", 6800, ""},
        SettingsCase{"a key only inside a value or a comment", "#aria2-rpc-port=7000\nx=aria2-rpc-port=7001\n",
                     std::nullopt, "127.0.0.1", 6800, ""}));

TEST(Aria2Settings, TheConfigFolderComesFromXdgConfigHomeOrHome) {
  struct Case {
    const char* xdg;
    const char* home;
    std::filesystem::path expected;
  };
  const Case cases[] = {
      {"/x/config", "/home/u", "/x/config"},
      {"relative/config", "/home/u", "/home/u/.config"},  // a relative XDG_CONFIG_HOME is ignored
      {nullptr, "/home/u", "/home/u/.config"},
      {nullptr, nullptr, ""},
  };
  const std::string savedXdg = std::getenv("XDG_CONFIG_HOME") != nullptr ? std::getenv("XDG_CONFIG_HOME") : "";
  const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  for (const Case& c : cases) {
    c.xdg != nullptr ? ::setenv("XDG_CONFIG_HOME", c.xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
    c.home != nullptr ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
    EXPECT_EQ(UserConfigFolder(), c.expected) << (c.xdg != nullptr ? c.xdg : "(no XDG_CONFIG_HOME)");
  }
  savedXdg.empty() ? ::unsetenv("XDG_CONFIG_HOME") : ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  savedHome.empty() ? ::unsetenv("HOME") : ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace quorvane
