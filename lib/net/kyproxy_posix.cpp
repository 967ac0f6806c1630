// No system proxy setting outside Windows: requests go out directly.
#include "lib/net/kyproxy.h"

bool ReadInternetSettings(int& enable, String& server) {
  enable = 0;
  server.clear();
  return false;
}
