// Whether a plan still serves a run: its files, its settings, the plan itself.
#ifndef KINREC_PLAN_CHECKS_H
#define KINREC_PLAN_CHECKS_H

#include "app/Plan.h"

#include <string>

// How now differs from planned ("size 200 -> 300 bytes"); "" when it does not.
std::string Difference(const Stamp& planned, const Stamp& now);

// How the settings now differ from those planned, key by key ("RESAMPLECOUNT 0 -> 2,
// CUTOFFFREQUENCY 5 -> 3"); "" when they do not.
std::string SettingsDifference(const std::string& planned, const std::string& now);

// Whether two plans convert the same files alike: all but their tokens agree, the
// identities of inputs that tables are written into aside (they change under a batch).
bool SamePlan(const Plan& a, const Plan& b);

#endif
