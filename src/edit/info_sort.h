// The list's order by the date each photo was taken, so serial numbers follow the shooting
// order.
#pragma once

#include "info/info_cache.h"
#include "model/host.h"

class CMyItem;

namespace dov {

// Sorts a folder's items: folders first in their order, then the files by the date taken
// (exif.date), a file without one by its modification time (local time), oldest first unless
// descending; equal dates keep their order. Every file's Exif is read through the cache, with
// progress; STOP (or the close request) while reading leaves the order untouched and returns
// false. The files and the folders are numbered again in their new order.
bool SortByDateTaken(CMyItem* pFolder, InfoCache& cache, IHost& host, bool descending = false);

}  // namespace dov
