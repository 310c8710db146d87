// The entry orders of the file selection dialog: folders first, then a column sort.
// Plain functions over the entry array, run on the dialog's sort worker.
#pragma once

#include <string>
#include <vector>

#include "common/fs.h"

namespace dov {

// Three-way comparisons (1 when a > b, -1 when a < b, 0 when equal; high halves first, both
// unsigned).
int CompareEntrySize(const FindData& a, const FindData& b);
int CompareFileTimeStruct(const FileTime& a, const FileTime& b);
// Names without regard to ASCII letter case, byte-wise as unsigned values.
int CompareEntryName(const std::string& a, const std::string& b);

// Puts every folder before every file; returns the number of folders.
int ArrangeFoldersFirst(std::vector<EntryInfo>& entries);

enum class EntrySortKey { Name, Size, Date };

// Folders first, then: by name, folders and files each; by size, the files only; by date,
// folders and then files. Each range is sorted by the same selection sort the listing uses.
void SortEntries(std::vector<EntryInfo>& entries, EntrySortKey key, bool ascending);

// Lists a folder for the dialog: every entry but names made of dots only, folders first and
// each group by name ascending. 0 or errno.
int ListFolderEntries(const std::string& folder, std::vector<EntryInfo>& out);

// The mounted file systems worth offering as places to start from ("/", the home folder and
// real or network file systems from a mount table text), in CP932.
std::vector<std::string> RootFolders(const std::string& mountsText, const std::string& home);

}  // namespace dov
