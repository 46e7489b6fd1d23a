#pragma once

#include <string>

namespace quorvane {

// The addresses the tool talks to. The tool itself takes them from the values
// compiled in; the demo and the tests put loopback stand-ins in their place.
struct Endpoints {
  std::string ResolverAddress;     // scheme and host of the resolver service, no path
  std::string ResolverToken;       // the resolver's access token
  std::string CounterPageAddress;  // the page-hit counter page
  std::string HostingHomeAddress;  // the maker's page on the file-hosting service
  std::string HostingLinkPrefix;   // what the hosting service's file links start with
  std::string SampleShareLink;     // the link box's initial text
};

// The values compiled into the program.
Endpoints BuiltInEndpoints();

}  // namespace quorvane
