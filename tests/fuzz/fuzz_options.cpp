// Linked into every fuzz target. ASan keeps freed blocks in a quarantine to
// catch use after free; its default of 256 MB, refilled by the large buffers
// the readers free after each input, made the targets peak at 500-600 MB.
// 16 MB keeps every target well inside -rss_limit_mb=256.
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16";
}
