// Conflict preview: which renames of a direct rename will fail, found before anything is
// written.
//
// The preview replays the run's plan (rename_plan.h: user-made folders first, then every item
// deepest first, each target path by the plan's rules) over a picture of the disk that it
// builds as it goes: an entry's presence is read from the
// disk once (a folder asked about many times is listed once instead) and from then on changes
// only by the simulated folder creations and renames. Lookups are by hash, so the cost grows
// with the number of items, not with its square. When nothing else changes the disk, the
// failures it predicts are the ones the run then meets.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CMyItem;

namespace dov {

class CRenamePlan;
class DiskScope;

enum class ConflictReason {
    Taken,           // the write path is taken at that moment
    Missing,         // the entry or the folder it goes to is not where the run looks for it
    NameTooLong,     // a name longer than 255 bytes once converted to UTF-8
    PathTooLong,     // a folder of the scope whose path is longer than the system opens
    NotConvertible,  // a name that UTF-8 on disk cannot carry
    IntoItself,      // a folder to be moved into itself
    NotFolder,       // a user-made folder that the run cannot place (directly under the root)
    Refused,         // a changed name the name check refuses (the run then renames nothing)
    Other,
};

// A short English word for the reason, as dovreth-cli prints it.
const char* ConflictReasonText(ConflictReason reason);

struct PredictedFailure {
    CMyItem* item = nullptr;
    ConflictReason reason = ConflictReason::Other;
    std::string path;             // CP932: where the entry is at that moment
    std::string writePath;        // CP932: where the run will write it
    bool folderCreation = false;  // a user-made folder that cannot be created
};

struct ConflictPrediction {
    std::vector<PredictedFailure> failures;
    // The run stops before renaming anything: a user-made folder cannot be created (it is the
    // last entry of failures) or the depth check refuses the tree (failures is empty).
    bool stops = false;
    // giveUp answered true before the prediction was complete: failures is partial.
    bool abandoned = false;
};

// The prediction for a plan: the plan replayed over the disk as it is. Nothing is written to
// disk; the items keep their state (only their write names and depths are brought up to date,
// as the run does). giveUp (when given) is asked now and then; once it answers true the
// prediction ends early, marked abandoned. The disk is read within the plan's scope, so no
// other operation may run meanwhile.
ConflictPrediction PredictConflicts(const CRenamePlan& plan,
                                    const std::function<bool()>& giveUp = {});
// The same for the tree under root as it stands, with a plan of its own over scope (nullptr:
// the folders holding the entries under the root, pinned now).
ConflictPrediction PredictConflicts(CMyItem* root, const std::function<bool()>& giveUp = {},
                                    const DiskScope* scope = nullptr);

}  // namespace dov
