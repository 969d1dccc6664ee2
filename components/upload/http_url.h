// The parts of an http or https URL that the WinHTTP and WinINet clients
// connect and send with.

#ifndef COMPONENTS_UPLOAD_HTTP_URL_H_
#define COMPONENTS_UPLOAD_HTTP_URL_H_

#include <cstdint>
#include <string>

namespace upload {

struct HttpURL {
  bool secure = false;
  std::wstring host;
  uint16_t port = 0;
  // With the query; "/" when the URL has no path.
  std::wstring path;
};

// False (logged) for anything but a well-formed http or https URL; the
// scheme must be lower case.
bool CrackHttpURL(const std::wstring& url, HttpURL* parts);

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_HTTP_URL_H_
