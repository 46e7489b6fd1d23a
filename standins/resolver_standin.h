#pragma once

#include "standins/httplib_runner.h"

#include <mutex>
#include <string>
#include <vector>

namespace quorvane::standins {

// The resolver service on 127.0.0.1: GET /pan?url=<link>&echo=json&callback=kestro&token=<t>
// answers, in UTF-8, the callback wrapped around an object whose members files,
// download and error follow one another, as the real service's answers do.
class ResolverStandin {
 public:
  struct Sample {
    std::string link;             // the share link, as the tool sends it
    std::string name;             // UTF-8
    std::string address;          // the real download address
    bool nameAsEscapes = false;   // write non-ASCII characters of the name as \uXXXX
  };

  explicit ResolverStandin(std::vector<Sample> samples);
  ResolverStandin(const ResolverStandin&) = delete;
  ResolverStandin& operator=(const ResolverStandin&) = delete;

  // "http://127.0.0.1:<port>": the value for ResolverAddress.
  std::string Address() const;
  // The links of the requests received so far, decoded.
  std::vector<std::string> LinksReceived() const;

  // The answer for one sample, and the answer for a link no sample has.
  static std::string Answer(const Sample& sample);
  static std::string ErrorAnswer();

 private:
  std::vector<Sample> samples_;
  mutable std::mutex mutex_;
  std::vector<std::string> links_;
  HttplibRunner runner_;  // last: stopped first, while the members its handler uses still live
};

}  // namespace quorvane::standins
