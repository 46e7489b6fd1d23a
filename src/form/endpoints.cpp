#include "form/endpoints.h"

#include "form/endpoint_values.h"

namespace quorvane {

Endpoints BuiltInEndpoints() {
  Endpoints endpoints;
  endpoints.ResolverAddress = kResolverAddress;
  endpoints.ResolverToken = kResolverToken;
  endpoints.CounterPageAddress = kCounterPageAddress;
  endpoints.HostingHomeAddress = kHostingHomeAddress;
  endpoints.HostingLinkPrefix = kHostingLinkPrefix;
  endpoints.SampleShareLink = kSampleShareLink;
  return endpoints;
}

}  // namespace quorvane
