/* The allocator's settings, read by jemalloc when the program starts.
 *
 * A rename of 100,000 files holds about 1.5 KB per item in many small blocks (the items, their
 * names and paths, the listing, the plan). On 4 KiB pages that is some 40,000 page faults and
 * as many TLB entries, which cost about as much as the renames' own work. With transparent huge
 * pages asked for ("madvise" is Debian's default), the heap comes in 2 MiB pages instead. */
const char* malloc_conf = "thp:always,metadata_thp:always";
