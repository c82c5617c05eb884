// Linked statically, the checker would carry the C library's dlopen, which needs the shared C
// library at run time all the same. ICU calls it only to load plugins, which the checker never
// asks for: the calls come here instead (the link wraps dlopen) and fail as for a missing file.
extern "C" void* __wrap_dlopen(const char* /*file*/, int /*mode*/) {
  return nullptr;
}
