#pragma once

// The libcurl pieces live with the other Linux adapters; the download component still
// reaches them by this name until it moves onto the platform line.
#include "platform/posix/curl_support.h"
