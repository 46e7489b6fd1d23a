#include "standins/resolver_standin.h"

#include <httplib.h>


namespace quorvane::standins {
namespace {

// JSON string content: quotes, backslashes and slashes escaped as services do; with
// `asEscapes` every character beyond ASCII as \uXXXX (UTF-16 units).
std::string JsonText(const std::string& utf8, bool asEscapes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      if (byte == '"' || byte == '\\' || byte == '/') {
        out += '\\';
      }
      out += static_cast<char>(byte);
      ++i;
      continue;
    }
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    if (!asEscapes) {
      out.append(utf8, i, length);
      i += length;
      continue;
    }
    char32_t code = byte & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    auto unit = [&out](char32_t value) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0xF];
      }
    };
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string ResolverStandin::Answer(const Sample& sample) {
  return "kestro({\"files\":\"" + JsonText(sample.name, sample.nameAsEscapes) + "\",\"download\":\"" +
         JsonText(sample.address, false) + "\",\"error\":0});";
}

std::string ResolverStandin::ErrorAnswer() {
  return "kestro({\"error\":\"\\u94fe\\u63a5\\u4e0d\\u5b58\\u5728\",\"code\":404});";
}

ResolverStandin::ResolverStandin(std::vector<Sample> samples)
    : samples_(std::move(samples)) {
  runner_.Server().Get("/pan", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string link = request.get_param_value("url");
    {
      std::lock_guard lock(mutex_);
      links_.push_back(link);
    }
    std::string answer = ErrorAnswer();
    for (const Sample& sample : samples_) {
      if (sample.link == link) {
        answer = Answer(sample);
      }
    }
    response.set_content(answer, "application/javascript; charset=utf-8");
  });
  runner_.Start();
}

std::string ResolverStandin::Address() const { return runner_.Url(); }

std::vector<std::string> ResolverStandin::LinksReceived() const {
  std::lock_guard lock(mutex_);
  return links_;
}

}  // namespace quorvane::standins
