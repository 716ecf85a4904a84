// A plan as the text the shares of one batch read and write.
#ifndef KINREC_PLAN_TEXT_H
#define KINREC_PLAN_TEXT_H

#include "app/Plan.h"

#include <string>

// A plan as text, and back. ReadPlan gives false with *error saying what is wrong.
std::string PlanText(const Plan& plan);
bool ReadPlan(const std::string& text, Plan* plan, std::string* error);

// "2 shares of every input file", "3 shares of '*.csv', each file alone".
std::string Describe(const Plan& plan);

#endif
