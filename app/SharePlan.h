// The plan that the shares of one batch (kinrec --shard K/N -r) agree on, kept as the
// file kinrec.plan in the folder the walk starts in.
//
// The first share to arrive makes it and lands it whole, without replacing one that
// another share landed meanwhile (shares of a job array start at the same moment, on a
// shared file system); every other share, and a rerun of any share, reads it. A share
// that finishes without a failure leaves kinrec.plan.done-K holding the plan's token;
// the share that finds every share's record moves the plan to kinrec.plan.finished and
// removes the records, so that the next batch over the tree plans afresh. A share run
// again after that, over the same files and settings, follows the finished plan and
// leaves none behind. The names end in neither .csv nor .bin: a walk never takes them as
// inputs.
#ifndef KINREC_SHARE_PLAN_H
#define KINREC_SHARE_PLAN_H

#include "app/Plan.h"
#include "kinrec.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern const char kPlanName[];     // "kinrec.plan"
extern const char kFinishedName[]; // "kinrec.plan.finished"

// What a plan of this run says besides its files: kinrec's version, the settings, the
// count of shares, the selector, the mode.
Plan PlanOfRun(const std::string* selector, const kinrec::Settings* cfg, int count, bool alone);

// The plan of this batch, made from the walk's paths when no share has made one yet:
// the files with their groups, the head from biasCount (none alone), the shares.
Plan MakePlan(const std::vector<std::string>& paths, const std::string* selector,
              const kinrec::Settings* cfg, std::int32_t biasCount, int count, bool alone);

// A text that no other plan holds.
std::string NewToken();

// The plan lying in dir, or the one make() gives, landed there when none lies there yet;
// *finished when make() gave the plan of the batch that finished there last, which is
// then not landed again. False when neither can be had, with *path and *error saying
// which file and why.
bool SharedPlan(const std::string& dir, const std::function<Plan()>& make, Plan* plan,
                bool* finished, std::string* path, std::string* error);

// Records that share index of plan has finished; the last to finish removes the plan
// and the records. False when the record cannot be written, with *path and *error.
bool FinishShare(const std::string& dir, const Plan& plan, int index, std::string* path,
                 std::string* error);

#endif
