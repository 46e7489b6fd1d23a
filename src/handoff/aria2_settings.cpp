#include "handoff/aria2_settings.h"

#include <charconv>
#include <cstdlib>
#include <fstream>

namespace quorvane {
namespace {

// Settings files are a few lines; anything far larger is not one.
constexpr std::streamsize kSettingsFileCap = 1 << 20;

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::string ReadSmallFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::string text;
  if (file) {
    text.resize(static_cast<std::size_t>(kSettingsFileCap));
    file.read(text.data(), kSettingsFileCap);
    text.resize(static_cast<std::size_t>(file.gcount()));
  }
  return text;
}

// A TCP port number, or 0 for anything else.
int PortNumber(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port > 0 && port <= 65535 ? port : 0;
}

// A host name, an IPv4 address or a bracketed IPv6 address: nothing that could
// change the meaning of the address it is put into (no '/', '@', '?', '#', spaces).
bool IsPlainHost(std::string_view host) {
  if (host.empty() || host.size() > 253) {
    return false;
  }
  if (host.front() == '[') {
    return host.size() > 2 && host.back() == ']' &&
           host.substr(1, host.size() - 2).find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos;
  }
  return host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
         std::string_view::npos;
}

}  // namespace

std::filesystem::path UserConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
  if (xdg != nullptr && xdg[0] == '/') {
    return xdg;
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / ".config";
  }
  return {};
}

std::string SettingValue(std::string_view text, std::string_view key) {
  std::string value;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t equals = line.find('=');
    if (line.empty() || line.front() == '#' || equals == std::string_view::npos) {
      continue;
    }
    if (Trimmed(line.substr(0, equals)) == key) {
      value = Trimmed(line.substr(equals + 1));  // the last one counts, as in aria2
    }
  }
  return value;
}

Aria2Settings ReadAria2Settings(const std::filesystem::path& configFolder) {
  Aria2Settings settings;
  if (configFolder.empty()) {
    return settings;
  }
  const std::string own = ReadSmallFile(configFolder / "quorvane" / "quorvane.conf");
  const std::string aria2 = ReadSmallFile(configFolder / "aria2" / "aria2.conf");

  const std::string host = SettingValue(own, "aria2-rpc-host");
  if (IsPlainHost(host)) {
    settings.host = host;
  }
  const int ownPort = PortNumber(SettingValue(own, "aria2-rpc-port"));
  const int aria2Port = PortNumber(SettingValue(aria2, "rpc-listen-port"));
  settings.port = ownPort != 0 ? ownPort : (aria2Port != 0 ? aria2Port : kAria2DefaultPort);
  const std::string ownSecret = SettingValue(own, "aria2-rpc-secret");
  settings.secret = !ownSecret.empty() ? ownSecret : SettingValue(aria2, "rpc-secret");
  return settings;
}

}  // namespace quorvane
