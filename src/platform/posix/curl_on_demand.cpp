// The libcurl functions the program calls, defined here so that the two programs need
// not link libcurl: loading it pulls in the TLS, Kerberos, LDAP and SSH libraries, whose
// start-up costs milliseconds and megabytes before the first window. Here libcurl is
// opened on the first call instead, which comes after the window is up. Tests and
// benchmarks link libcurl itself.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <dlfcn.h>

#include <cstdarg>

namespace {

// The soname the program is built against (Debian's libcurl4).
constexpr const char* kLibrary = "libcurl.so.4";

// The library's entry `name`, or null when libcurl cannot be opened: every call then
// fails the way libcurl reports failure, and requests come back empty.
template <typename Function>
Function* Entry(const char* name) {
  static void* const library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  return library == nullptr ? nullptr : reinterpret_cast<Function*>(dlsym(library, name));
}

// What each kind of callback is passed as; libcurl casts it back by option.
using AnyFunction = void (*)();

}  // namespace

// libcurl declares its variadic functions with an enum before the "...", and defines them
// with va_start on that enum as done here; an int-sized enum is passed as it is.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif

extern "C" {

CURLcode curl_global_init(long flags) {
  static auto* const entry = Entry<CURLcode(long)>("curl_global_init");
  return entry != nullptr ? entry(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
  static auto* const entry = Entry<CURL*()>("curl_easy_init");
  return entry != nullptr ? entry() : nullptr;
}

void curl_easy_cleanup(CURL* handle) {
  static auto* const entry = Entry<void(CURL*)>("curl_easy_cleanup");
  if (entry != nullptr) {
    entry(handle);
  }
}

CURLcode curl_easy_perform(CURL* handle) {
  static auto* const entry = Entry<CURLcode(CURL*)>("curl_easy_perform");
  return entry != nullptr ? entry(handle) : CURLE_FAILED_INIT;
}

// The one argument is read by the option's type, as libcurl's own setopt reads it.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
  static auto* const entry = Entry<CURLcode(CURL*, CURLoption, ...)>("curl_easy_setopt");
  if (entry == nullptr) {
    return CURLE_FAILED_INIT;
  }
  va_list arguments;
  va_start(arguments, option);
  CURLcode code;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    code = entry(handle, option, va_arg(arguments, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    code = entry(handle, option, va_arg(arguments, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    code = entry(handle, option, va_arg(arguments, AnyFunction));
  } else if (option < CURLOPTTYPE_BLOB) {
    code = entry(handle, option, va_arg(arguments, curl_off_t));
  } else {
    code = entry(handle, option, va_arg(arguments, void*));
  }
  va_end(arguments);
  return code;
}

// Every kind of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
  static auto* const entry = Entry<CURLcode(CURL*, CURLINFO, ...)>("curl_easy_getinfo");
  if (entry == nullptr) {
    return CURLE_FAILED_INIT;
  }
  va_list arguments;
  va_start(arguments, info);
  const CURLcode code = entry(handle, info, va_arg(arguments, void*));
  va_end(arguments);
  return code;
}

const char* curl_easy_strerror(CURLcode code) {
  static auto* const entry = Entry<const char*(CURLcode)>("curl_easy_strerror");
  return entry != nullptr ? entry(code) : "libcurl could not be loaded";
}

CURLHcode curl_easy_header(CURL* handle, const char* name, size_t index, unsigned int origin, int request,
                           curl_header** header) {
  static auto* const entry =
      Entry<CURLHcode(CURL*, const char*, size_t, unsigned int, int, curl_header**)>("curl_easy_header");
  return entry != nullptr ? entry(handle, name, index, origin, request, header) : CURLHE_NOT_BUILT_IN;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
  static auto* const entry = Entry<curl_slist*(curl_slist*, const char*)>("curl_slist_append");
  return entry != nullptr ? entry(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
  static auto* const entry = Entry<void(curl_slist*)>("curl_slist_free_all");
  if (entry != nullptr) {
    entry(list);
  }
}

CURLSH* curl_share_init() {
  static auto* const entry = Entry<CURLSH*()>("curl_share_init");
  return entry != nullptr ? entry() : nullptr;
}

CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
  static auto* const entry = Entry<CURLSHcode(CURLSH*, CURLSHoption, ...)>("curl_share_setopt");
  if (entry == nullptr) {
    return CURLSHE_NOT_BUILT_IN;
  }
  va_list arguments;
  va_start(arguments, option);
  CURLSHcode code;
  switch (option) {
    case CURLSHOPT_SHARE:
    case CURLSHOPT_UNSHARE:
      code = entry(share, option, va_arg(arguments, int));  // a curl_lock_data, passed as int
      break;
    case CURLSHOPT_LOCKFUNC:
    case CURLSHOPT_UNLOCKFUNC:
      code = entry(share, option, va_arg(arguments, AnyFunction));
      break;
    default:
      code = entry(share, option, va_arg(arguments, void*));
      break;
  }
  va_end(arguments);
  return code;
}

time_t curl_getdate(const char* text, const time_t* unused) {
  static auto* const entry = Entry<time_t(const char*, const time_t*)>("curl_getdate");
  return entry != nullptr ? entry(text, unused) : -1;
}

void curl_free(void* memory) {
  static auto* const entry = Entry<void(void*)>("curl_free");
  if (entry != nullptr) {
    entry(memory);
  }
}

CURLU* curl_url() {
  static auto* const entry = Entry<CURLU*()>("curl_url");
  return entry != nullptr ? entry() : nullptr;
}

void curl_url_cleanup(CURLU* url) {
  static auto* const entry = Entry<void(CURLU*)>("curl_url_cleanup");
  if (entry != nullptr) {
    entry(url);
  }
}

CURLUcode curl_url_set(CURLU* url, CURLUPart part, const char* content, unsigned int flags) {
  static auto* const entry = Entry<CURLUcode(CURLU*, CURLUPart, const char*, unsigned int)>("curl_url_set");
  return entry != nullptr ? entry(url, part, content, flags) : CURLUE_OUT_OF_MEMORY;
}

CURLUcode curl_url_get(CURLU* url, CURLUPart part, char** content, unsigned int flags) {
  static auto* const entry = Entry<CURLUcode(CURLU*, CURLUPart, char**, unsigned int)>("curl_url_get");
  return entry != nullptr ? entry(url, part, content, flags) : CURLUE_OUT_OF_MEMORY;
}

}  // extern "C"
