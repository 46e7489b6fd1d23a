#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane {

inline constexpr int kAria2DefaultPort = 6800;

// Where the user's aria2 daemon listens for JSON-RPC calls, and the secret it asks for
// ("" when it asks for none).
struct Aria2Settings {
  std::string host = "127.0.0.1";
  int port = kAria2DefaultPort;
  std::string secret;
  std::chrono::milliseconds timeout{5000};  // each call, from connecting to the whole answer
};

// The user's configuration folder: $XDG_CONFIG_HOME, else $HOME/.config; empty when
// neither is set. The only place that reads the environment for these settings.
std::filesystem::path UserConfigFolder();

// The download-manager settings from `configFolder`: quorvane/quorvane.conf
// ("aria2-rpc-host", "aria2-rpc-port", "aria2-rpc-secret"), and for what it names none
// of, the "rpc-listen-port" and "rpc-secret" of aria2/aria2.conf; the defaults for the rest.
Aria2Settings ReadAria2Settings(const std::filesystem::path& configFolder);

// The value of `key` in a "key=value" settings text ('#' starts a comment line,
// spaces around key and value are dropped); empty when absent.
std::string SettingValue(std::string_view text, std::string_view key);

}  // namespace quorvane
