// Files and folders dropped onto the window from a file manager (text/uri-list): the disk
// folders they live in and the entries picked in each, just as the file selection dialog hands
// them over, so a drop loads like picked entries and meets the same refusals.
#pragma once

#include <QList>
#include <QUrl>
#include <string>
#include <vector>

#include "common/fs.h"

class QMimeData;

namespace dov {

struct DroppedFolder {
    std::string folder;  // CP932, absolute
    std::vector<EntryInfo> picked;
};

struct DropReading {
    std::vector<DroppedFolder> folders;  // in the order first dropped
    int refused = 0;  // not a local file, gone, the root, or inside another dropped entry
};

// Whether a drag carries at least one local file or folder.
bool HasLocalFiles(const QMimeData* mime);

// Reads dropped URLs: each local path is looked up in a listing of its folder (links are not
// followed; an entry whose name the program cannot hold comes back with nameOk false, as in
// the dialog). The same path twice counts once.
DropReading ReadDroppedUrls(const QList<QUrl>& urls);

}  // namespace dov
