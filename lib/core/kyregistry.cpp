#include "lib/core/kyregistry.h"

String RootKeyName(TRegRoot root) {
  switch (root) {
    case rkClassesRoot: return u"HKEY_CLASSES_ROOT";
    case rkCurrentUser: return u"HKEY_CURRENT_USER";
    case rkLocalMachine: return u"HKEY_LOCAL_MACHINE";
    case rkUsers: return u"HKEY_USERS";
    case rkPerformanceData: return u"HKEY_PERFORMANCE_DATA";
    case rkCurrentConfig: return u"HKEY_CURRENT_CONFIG";
    case rkDynData: return u"HKEY_DYN_DATA";
    default: return String();
  }
}

String TRegistry::ResolvePath(const String& key) const {
  String path;
  size_t start = 0;
  if (!key.empty() && key[0] == u'\\') {
    start = 1;
  } else if (HasOpenKey() && !CurrentPath_.empty()) {
    path = CurrentPath_;
  }
  String rest = key.substr(start);
  while (!rest.empty() && rest.back() == u'\\') rest.pop_back();
  if (!rest.empty()) {
    if (!path.empty()) path += u'\\';
    path += rest;
  }
  return path;
}

bool TRegistry::OpenKey(const String& key, bool canCreate) { return DoOpen(ResolvePath(key), canCreate, false); }

bool TRegistry::OpenKeyReadOnly(const String& key) { return DoOpen(ResolvePath(key), false, true); }

void TRegistry::SetRootKey(TRegRoot root) {
  CloseKey();
  Root_ = root;
}
